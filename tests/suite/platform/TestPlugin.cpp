// The plug-in loaded by DynamicLibraryTest.
extern "C" __attribute__((visibility("default"))) int PlatformTestAdd(int a, int b)
{
    return a + b;
}
