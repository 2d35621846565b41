// The scenario under xunit on CoreCLR, with a signal interrupting the wait.
using Xunit;
using Xunit.Abstractions;

public class BindingTests
{
    private readonly ITestOutputHelper output;

    public BindingTests(ITestOutputHelper output) { this.output = output; }

    [Fact]
    public void AllElevenCallsAndAnInterruptedWait()
    {
        var lines = Scenario.Run(new Signals());
        lines.ForEach(output.WriteLine);
        Assert.True(lines.TrueForAll(line => line.StartsWith("ok")), string.Join("\n", lines));
    }
}
