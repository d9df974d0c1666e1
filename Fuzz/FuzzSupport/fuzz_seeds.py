"""Shared by the seed scripts of the fuzz targets (Fuzz/NAME/make_seeds.py)."""
import os


def write_corpus(script, seeds):
    """Writes each name and bytes of the dict `seeds` into the corpus folder
    beside the seed script `script` (pass __file__)."""
    out = os.path.join(os.path.dirname(os.path.abspath(script)), "corpus")
    os.makedirs(out, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
