// The smallest console program: what Wine takes to start and end one is the yardstick for a
// script's `parvox send`.
int main() { return 0; }
