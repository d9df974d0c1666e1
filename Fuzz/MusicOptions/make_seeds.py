#!/usr/bin/env python3
"""Writes the seed corpus of the project music target: projects of three
slides in the key format (main list, comments, personal lists) and in the
object format (tracks of items with pauses, fades, cross-fades, random
order, volume curves, sound comments, video clips with sound), and damaged
ones. The first byte of a seed also seeds the random order. Deterministic."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "FuzzSupport"))
from fuzz_seeds import write_corpus  # noqa: E402

MAIN = ["[Main]", "opt_slidescount=3", "opt_synchpos1=10000", "opt_synchpos2=20000", "opt_synchpos3=30000"]


def obj(name, kind, keys, children=()):
    lines = ["object %s:%s" % (name, kind)] + ["  %s=%s" % kv for kv in keys]
    for child in children:
        lines += ["  " + line for line in child]
    return lines + ["end"]


def item(name, file, keys):
    return obj(name, "TMusicItem", [("FileName", file)] + keys)


def project(lines):
    return ("\r\n".join(lines) + "\r\n").encode("utf-8")


TRACKS = obj("M", "music", [], [
    obj("O", "TMusicOptions", [("IsRepeat", "1")]),
    obj("T1", "TMusicTrack", [("IsRandom", "1")], [
        item("A", "one.mp3", [("Duration", "12000"), ("FadeIn", "1000"), ("FadeOut", "2000"), ("Volume", "80")]),
        item("B", "two.ogg", [("Duration", "9000.5"), ("Cross", "1500"), ("CrossMode", "0"), ("StartTime", "250"),
                              ("VolumeParams", "0:65536,44100:32768, 88200 : 0,bad")]),
        item("C", "three.wav", [("Duration", "5000"), ("Pause", "700"), ("CrossMode", "1")]),
    ]),
    obj("T2", "TMusicTrack", [("IsMute", "1")], [item("D", "muted.wav", [("Duration", "1000")])]),
    obj("T3", "TMusicTrack", [], [item("E", "quiet.wav", [("Duration", "3000"), ("Volume", "0")])]),
])

COMMENT = obj("M", "music", [], [
    obj("C", "TSoundComment", [("FileName", "talk.wav"), ("Duration", "60000"), ("Pause", "500"),
                               ("FadeIn", "200"), ("FadeOut", "300"), ("Volume", "120"), ("StartTime", "100"),
                               ("VolumeParams", "4410:65536,8820:0")]),
])

VIDEO_SLIDE = ["[Slide2]"] + obj("V", "video", [("ClipGUID", "{clip-1}")])
VIDEO_BOSS = obj("VB", "VideoBoss", [], [
    obj("K", "VideoClip", [("ClipGUID", "{clip-1}"), ("FileName", "clip.mp4"), ("StartVideoTime", "1000"),
                           ("StartVMOTime", "2000"), ("Duration", "25000"), ("Volume", "50")]),
])

SEEDS = {
    "key-format": project(MAIN + [
        "opt_usemusic=1", "opt_repeatmusic=1", "opt_rndmusic=1", "opt_syncmode=0", "opt_music_count=2",
        "opt_music1=a.mp3", "opt_lengthlist1=15000", "opt_music2=LoadFromDisk:/music/b.wav",
        "opt_lengthlist2=20000.5",
        "[Slide1]", "Sound=hello.wav", "SoundLength=12000",
        "[Slide2]", "Sound=@", "UsePersonal=1", "MusicAction=2", "MusicCount=2", "SubMusic1=p.mp3",
        "SubMusicLength1=4000", "SubMusic2=q.ogg", "SubMusicLength2=3000",
        "[Slide3]"]),
    "object-tracks": project(MAIN + ["opt_fullyplaysound=1"] + TRACKS + [
        "[Slide1]"] + COMMENT + ["[Slide2]", "UsePersonal=1", "MusicAction=2"] + TRACKS + ["[Slide3]"]),
    "object-video": project(MAIN + ["opt_syncmode=1", "opt_disablemusicrandom=1"] + VIDEO_BOSS + TRACKS +
                            ["[Slide1]"] + VIDEO_SLIDE + ["[Slide3]"] + COMMENT),
    "damaged": project(["[Main]", "opt_slidescount=2", "opt_synchpos1=5000", "opt_synchpos2=5000",
                        "opt_usemusic=1", "opt_music_count=99999999", "opt_lengthlist1=-1",
                        "[Slide1]", "Sound=x.wav", "SoundLength=-5", "[Slide2]"]),
    "object-damaged": project(["[Main]", "opt_slidescount=1", "opt_synchpos1=2147483647"] + obj("M", "music", [], [
        obj("T", "TMusicTrack", [("IsRandom", "1")], [
            item("A", "a.wav", [("Duration", "2147483647"), ("Cross", "1e12"), ("FadeOut", "-3"),
                                ("Volume", "214748365")]),
            item("B", "", [("Duration", "nan")]),
            item("C", "error", [("Duration", "-2147483648"), ("Pause", "1e300"), ("CrossMode", "1")]),
        ]),
        obj("C", "TSoundComment", [("FileName", "error"), ("Duration", "100")]),
    ]) + ["[Slide1]"] + COMMENT),
}


def main():
    write_corpus(__file__, SEEDS)


if __name__ == "__main__":
    main()
