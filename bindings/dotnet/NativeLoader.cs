// Puts a named library file ahead of the runtime's own search for
// "tidelink_android" (beside the binding, then the system's loader).
using System;
using System.Reflection;
using System.Runtime.InteropServices;

namespace Tidelink
{
    internal static class NativeLoader
    {
#if NET
        private static IntPtr loaded;

        // Answering zero for any other name leaves it to the runtime's search.
        internal static void Load(string path)
        {
            IntPtr library = NativeLibrary.Load(path);
            if (loaded != IntPtr.Zero) throw new InvalidOperationException("Platform.Load was already called");
            loaded = library;
            NativeLibrary.SetDllImportResolver(typeof(NativeLoader).Assembly,
                (name, assembly, searchPath) => name == Native.Library ? loaded : IntPtr.Zero);
        }
#else
        // Without a resolver API: the system's loader opens the file (so a
        // bad path fails here), and then answers every later request for its
        // SONAME with it. Mono looks beside the assembly before asking the
        // system, so there a dllmap entry sends the name to the file.
        private const int RTLD_NOW = 2;

        [DllImport("libdl.so.2", EntryPoint = "dlopen")]
        private static extern IntPtr GlibcOpen(string path, int flags);

        [DllImport("libdl", EntryPoint = "dlopen")]
        private static extern IntPtr Open(string path, int flags);

        [DllImport("__Internal", EntryPoint = "mono_dllmap_insert")]
        private static extern void MonoDllMap(IntPtr image, string dll, string? function, string target, string? targetFunction);

        [DllImport("__Internal", EntryPoint = "mono_image_loaded")]
        private static extern IntPtr MonoImageLoaded(string name);

        internal static void Load(string path)
        {
            IntPtr library;
            try { library = GlibcOpen(path, RTLD_NOW); }
            catch (DllNotFoundException) { library = Open(path, RTLD_NOW); }
            if (library == IntPtr.Zero) throw new DllNotFoundException("cannot load " + path);
            if (Type.GetType("Mono.Runtime") != null) MonoDllMap(MonoImage(), Native.Library, null, path, null);
        }

        // The entry goes into this assembly's own map, which Mono reads before
        // the global one, and where Tidelink.dll.config's entries are: the
        // latest entry there comes first. Mono's embedding interface finds the
        // image by the file it was loaded from, else by the assembly's name.
        private static IntPtr MonoImage()
        {
            Assembly assembly = typeof(NativeLoader).Assembly;
            IntPtr image = assembly.Location.Length > 0 ? MonoImageLoaded(assembly.Location) : IntPtr.Zero;
            if (image == IntPtr.Zero) image = MonoImageLoaded(assembly.GetName().Name!);
            if (image == IntPtr.Zero) throw new PlatformNotSupportedException("Mono has no image of " + assembly.FullName);
            return image;
        }
#endif
    }
}
