// The audio and media libraries under Qt Multimedia keep caches for the life of the process;
// leak reports from them say nothing about the player.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libpulse.so\n"
           "leak:libglib-2.0.so\n"
           "leak:libgobject-2.0.so\n"
           "leak:libgstreamer-1.0.so\n"
           "leak:libfontconfig.so\n";
}
