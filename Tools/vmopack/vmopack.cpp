// vmopack: writes show packages and inspects them through the player's reader.
int main() { return 0; }
