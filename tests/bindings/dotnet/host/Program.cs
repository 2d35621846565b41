// Runs BindingTests' xunit cases where no xunit runner goes (NativeAOT, Mono
// with an mcs-built host), one line each; optionally with the library's path
// to load, or with --expect, the path the binding must choose itself (either
// way the only copy then mapped). Exits 1 on a failure.
using System;
#if NET
using System.Diagnostics.CodeAnalysis;
#endif
using System.IO;
using System.Linq;
using System.Reflection;
using Tidelink;
using Xunit;

static class Program
{
    static int Main(string[] args)
    {
        // Before any other call, in a method that makes none: Mono finds a
        // call's library when it compiles the method that makes the call.
        bool expect = args.Length > 1 && args[0] == "--expect";
        string library = args.Length > 0 ? args[args.Length - 1] : null;
        if (library != null && !expect) Platform.Load(library);
        int failures = Run(typeof(BindingTests));
        if (library != null && !MapsOnly(library, expect ? "chosen" : "Platform.Load")) failures++;
        Console.WriteLine(failures == 0 ? "all passed" : failures + " failed");
        return failures == 0 ? 0 : 1;
    }

    // Each [Fact], and each [Theory] once per [InlineData], on an instance of
    // its own that is disposed after it, as xunit runs them.
    static int Run(
#if NET
        [DynamicallyAccessedMembers(DynamicallyAccessedMemberTypes.PublicMethods | DynamicallyAccessedMemberTypes.PublicConstructors)]
#endif
        Type cases)
    {
        int failures = 0;
        foreach (MethodInfo method in cases.GetMethods().OrderBy(m => m.Name))
        {
            if (method.GetCustomAttribute<FactAttribute>() == null) continue;
            object[][] rows = method.GetCustomAttributes<InlineDataAttribute>().SelectMany(d => d.GetData(method)).ToArray();
            foreach (object[] row in rows.Length > 0 ? rows : new[] { new object[0] })
            {
                string name = method.Name + (row.Length > 0 ? "(" + string.Join(", ", row) + ")" : "");
                try
                {
                    object instance = Activator.CreateInstance(cases);
                    try { method.Invoke(instance, row); }
                    finally { (instance as IDisposable)?.Dispose(); }
                    Console.WriteLine("PASS " + name);
                }
                catch (Exception e)
                {
                    Exception cause = e is TargetInvocationException && e.InnerException != null ? e.InnerException : e;
                    Console.WriteLine("FAIL " + name + ": " + cause.GetType().Name + ": " + cause.Message);
                    failures++;
                }
            }
        }
        return failures;
    }

    static bool MapsOnly(string library, string how)
    {
        var mapped = File.ReadAllLines("/proc/self/maps").Where(line => line.EndsWith("/libtidelink_android.so"))
            .Select(line => line.Substring(line.IndexOf('/'))).Distinct().ToArray();
        bool only = mapped.SequenceEqual(new[] { Path.GetFullPath(library) });
        Console.WriteLine((only ? "PASS " : "FAIL ") + how + ": the library mapped is " + string.Join(", ", mapped));
        return only;
    }
}
