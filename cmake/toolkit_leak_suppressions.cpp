// Linked into sanitizer builds of everything that uses the toolkit: GTK and the libraries under
// it keep one-time allocations until the process ends, which the leak checker would report.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\n"
         "leak:libglib-2.0.so\n"
         "leak:libgobject-2.0.so\n"
         "leak:libgio-2.0.so\n"
         "leak:libgtk-3.so\n"
         "leak:libgdk-3.so\n"
         "leak:libfontconfig.so\n"
         "leak:libpango\n"
         "leak:libatk\n";
}

// Keeps the program's stderr for what the program says; tests read it.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_options() {
  return "print_suppressions=0";
}
