// The scenario as a console program, for NativeAOT and for Mono: with an
// argument, the library is loaded from that path. Exit status 1 on any failure.
using System;
using Tidelink;

static class Program
{
    static int Main(string[] args)
    {
        if (args.Length > 0) Platform.Load(args[0]);
#if NET
        IInterrupter interrupter = new Signals();
#else
        IInterrupter interrupter = new Collections();
#endif
        int failures = 0;
        foreach (string line in Scenario.Run(interrupter))
        {
            Console.WriteLine(line);
            if (line.StartsWith("FAIL", StringComparison.Ordinal)) failures++;
        }
        Console.WriteLine(failures == 0 ? "all passed" : failures + " failed");
        return failures == 0 ? 0 : 1;
    }
}
