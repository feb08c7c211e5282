// A program that does nothing; it exists for its version resource
// (Versioned.rc), which the file-version tests read.
int main() { return 0; }
