// What interrupts a wait for the test of it: started just before the wait on
// the waiting thread, stopped after it, with the evidence that it did.
using System;
using System.Runtime.InteropServices;
using System.Threading;

public interface IInterrupter
{
    void Start();
    void Stop();
    bool Enough { get; }
    string Evidence { get; }
}

// Mono stops every thread with a signal for each collection.
public sealed class Collections : IInterrupter
{
    private volatile bool running;
    private int count;
    private Thread thread;

    public void Start()
    {
        running = true;
        thread = new Thread(() => { while (running) { GC.Collect(); count++; Thread.Sleep(2); } });
        thread.Start();
    }

    public void Stop() { running = false; thread.Join(); }

    public bool Enough { get { return count >= 20; } }

    public string Evidence { get { return count + " collections"; } }
}

#if NET
// CoreCLR's collector never signals a thread that is in native code, so a
// real signal with a handler is sent to the waiting thread itself.
public sealed class Signals : IInterrupter
{
    private const int SIGUSR1 = 10;
    private volatile bool running;
    private int sent, arrived;
    private Thread thread;
    private PosixSignalRegistration registration;

    [DllImport("libc.so.6")] private static extern IntPtr pthread_self();
    [DllImport("libc.so.6")] private static extern int pthread_kill(IntPtr thread, int signal);

    public void Start()
    {
        registration = PosixSignalRegistration.Create((PosixSignal)SIGUSR1, context => {
            Interlocked.Increment(ref arrived);
            context.Cancel = true;
        });
        IntPtr waiter = pthread_self();
        running = true;
        thread = new Thread(() => {
            while (running && sent < 10)
            {
                Thread.Sleep(100);
                if (running && pthread_kill(waiter, SIGUSR1) == 0) sent++;
            }
        });
        thread.Start();
    }

    public void Stop()
    {
        running = false;
        thread.Join();
        // The handler runs on the runtime's own thread, a little later.
        for (int i = 0; i < 100 && Volatile.Read(ref arrived) < sent; i++) Thread.Sleep(10);
        registration.Dispose();
    }

    public bool Enough { get { return sent >= 5 && arrived >= 1; } }

    public string Evidence { get { return sent + " signals sent, " + arrived + " handled"; } }
}
#endif
