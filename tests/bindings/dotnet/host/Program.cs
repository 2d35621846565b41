// The scenario as a console program for NativeAOT and Mono, optionally with
// the library's path to load, or with --expect, the path the binding must
// choose itself (either way the only copy then mapped). Exits 1 on a failure.
using System;
using System.IO;
using System.Linq;
using Tidelink;

static class Program
{
    static int Main(string[] args)
    {
        // Before any other call, in a method that makes none: Mono finds a
        // call's library when it compiles the method that makes the call.
        bool expect = args.Length > 1 && args[0] == "--expect";
        string library = args.Length > 0 ? args[args.Length - 1] : null;
        if (library != null && !expect) Platform.Load(library);
#if NET
        IInterrupter interrupter = new Signals();
#else
        IInterrupter interrupter = new Collections();
#endif
        var lines = Scenario.Run(interrupter);
        if (library != null)
        {
            var mapped = File.ReadAllLines("/proc/self/maps").Where(line => line.EndsWith("/libtidelink_android.so"))
                .Select(line => line.Substring(line.IndexOf('/'))).Distinct().ToArray();
            lines.Add((mapped.SequenceEqual(new[] { Path.GetFullPath(library) }) ? "ok   " : "FAIL ")
                      + (expect ? "chosen" : "Platform.Load") + ": the library mapped is " + string.Join(", ", mapped));
        }
        int failures = 0;
        foreach (string line in lines)
        {
            Console.WriteLine(line);
            if (line.StartsWith("FAIL", StringComparison.Ordinal)) failures++;
        }
        Console.WriteLine(failures == 0 ? "all passed" : failures + " failed");
        return failures == 0 ? 0 : 1;
    }
}
