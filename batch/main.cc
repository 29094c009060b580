// karvel-batch: one processing run from the command line.

int main() { return 0; }
