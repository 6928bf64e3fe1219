// Placeholder entry point until the application's start-up lands.
int main() { return 0; }
