// Test programs that make a QApplication: Qt, its platform plugins and the audio and media
// libraries under Qt Multimedia keep caches for the life of the process, and leak reports from
// them say nothing about the player, so these run without leak checking (other checks stay on).
extern "C" const char* __asan_default_options() {
    return "detect_leaks=0";
}

extern "C" const char* __lsan_default_suppressions() {
    return "leak:libpulse.so\n"
           "leak:libglib-2.0.so\n"
           "leak:libgobject-2.0.so\n"
           "leak:libgstreamer-1.0.so\n"
           "leak:libfontconfig.so\n";
}
