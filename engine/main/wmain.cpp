// The updater's entry point: the first argument picks the procedure.
int wmain(int, char16_t*[]) { return 0; }
