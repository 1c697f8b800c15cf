#include "protocol/command_loop.h"

int main() { runCommandLoop(); }
