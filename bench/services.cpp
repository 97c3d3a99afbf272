// Figure 4: start and stop of the two service hosts under the service
// control manager, against the minimal service.
#include "bench.h"
#include "files.h"
#include "processes.h"
#include "report.h"
#include "run.h"
#include "service_control.h"
#include "statistics.h"

#include <vector>

struct Service {
    const char *name = "";
    const char *exe = ""; // in dist, or the benchmark's own
    bool baseline = false;
    SC_HANDLE handle = NULL;
    std::vector<double> start, stop;
    int failures = 0;
};

static const int Services = 3; // the two hosts, then the minimal service

// One start and stop; false when either did not complete.
static bool CycleService(Service &s, bool counted)
{
    double started = Now();
    if (!StartServiceA(s.handle, 0, NULL)) {
        Say("%s: StartServiceA failed (error %lu)\n", s.name, GetLastError());
        return false;
    }
    DWORD state = AwaitServiceState(s.handle, SERVICE_RUNNING, 60000, 1, SERVICE_STOPPED);
    double running = Now();
    SERVICE_STATUS_PROCESS status = {};
    ServiceState(s.handle, &status);
    HANDLE process =
        status.dwProcessId ? OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, status.dwProcessId) : NULL;
    if (state != SERVICE_RUNNING) Say("%s: not running after the start (state %lu)\n", s.name, state);

    double stopping = Now();
    SERVICE_STATUS stopStatus;
    // Wine may leave the request without an answer (ERROR_BROKEN_PIPE) when
    // the process ends right after its handler returned: the state tells.
    (void)ControlService(s.handle, SERVICE_CONTROL_STOP, &stopStatus);
    DWORD stoppedState = AwaitServiceState(s.handle, SERVICE_STOPPED, 30000, 1);
    double stopped = Now();
    if (stoppedState != SERVICE_STOPPED) Say("%s: not stopped (state %lu)\n", s.name, stoppedState);

    // Not timed: the process must be gone before the next start.
    if (process) {
        if (WaitForSingleObject(process, 30000) != WAIT_OBJECT_0) EndProcess(process);
        CloseHandle(process);
    }
    bool ok = state == SERVICE_RUNNING && stoppedState == SERVICE_STOPPED;
    if (counted && ok) {
        s.start.push_back(running - started);
        s.stop.push_back(stopped - stopping);
    }
    return ok;
}

// Installs the service in a directory of its own with the fast core library.
static bool InstallService(const Bench &bench, SC_HANDLE manager, Service &s)
{
    RemoveService(s.name); // left over from a run that did not finish
    std::string directory = Join(Join(bench.work, "services"), s.name);
    std::string exeName = std::string(s.name) + ".exe";
    if (!MakeDirectoryOrSay(directory) ||
        !CopyOrSay(Join(s.baseline ? bench.tools : bench.dist, s.exe), directory, exeName) ||
        !CopyOrSay(Join(bench.tools, "bench_core_fast.dll"), directory, "Tovrel.dll"))
        return false;
    s.handle =
        CreateServiceA(manager, s.name, s.name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                       SERVICE_ERROR_IGNORE, Quoted(Join(directory, exeName)).c_str(), NULL, NULL, NULL, NULL, NULL);
    if (!s.handle) Say("%s: CreateServiceA failed (error %lu)\n", s.name, GetLastError());
    return s.handle != NULL;
}

// Installs the three services, cycles them in turn and removes them again;
// false when they could not all be installed.
static bool MeasureServices(const Bench &bench, SC_HANDLE manager, Service (&services)[Services])
{
    bool ready = MakeDirectoryOrSay(Join(bench.work, "services"));
    for (Service &s : services) ready = ready && InstallService(bench, manager, s);
    if (ready) {
        for (Service &s : services) CycleService(s, false); // warm-up
        for (int round = 0; round < bench.serviceRuns; round++) {
            for (int turn = 0; turn < Services; turn++) {
                Service &s = services[(turn + round) % Services];
                if (!CycleService(s, true)) s.failures++;
            }
            if ((round + 1) % 5 == 0 || round + 1 == bench.serviceRuns)
                Say("  round %d of %d\n", round + 1, bench.serviceRuns);
        }
    }
    for (Service &s : services) {
        if (s.handle) CloseServiceHandle(s.handle);
        s.handle = NULL;
        RemoveService(s.name);
    }
    return ready;
}

static void ReportServices(const Bench &bench, const Service (&services)[Services], Figure &figure)
{
    const Service &base = services[2];
    figure.section +=
        Format("Each host installed with CreateServiceA (own process, demand start) in a directory with the "
               "core library whose `Tovrel` returns at once, against the minimal service `bench/minimal_service.c` "
               "(control dispatcher; ServiceMain starts a thread that calls `Tovrel`, reports running; the handler "
               "reports stopped). %d cycles each after one warm-up, the three taking turns. Start: StartServiceA "
               "until QueryServiceStatusEx reports SERVICE_RUNNING. Stop: ControlService(SERVICE_CONTROL_STOP) "
               "until it reports SERVICE_STOPPED (polled every millisecond; the process's exit is awaited "
               "afterwards, untimed). The services are deleted at the end. No budget: the ratios are reported.\n\n",
               bench.serviceRuns);
    const char *phases[2] = {"Start (StartServiceA to SERVICE_RUNNING)", "Stop (ControlService to SERVICE_STOPPED)"};
    for (int phase = 0; phase < 2; phase++) {
        figure.section += Format("%s:\n\n", phases[phase]);
        figure.section += TimeTableHeader("host");
        for (int k = 0; k < 2; k++) {
            const Service &s = services[k];
            figure.section += TimeRow(std::string(s.name) + ".exe", phase ? s.stop : s.start, "bench_service.exe",
                                      phase ? base.stop : base.start) +
                              "\n";
        }
        figure.section += "\n";
    }
    for (const Service &s : services) {
        if (s.failures) {
            figure.measurementFailed = true;
            figure.section += Format("%s: %d cycles did not complete.\n\n", s.name, s.failures);
        }
        Say("  %s: start %.1f ms, stop %.1f ms, %d failed cycles\n", s.name, Median(s.start), Median(s.stop),
            s.failures);
    }
    for (int k = 0; k < 2; k++)
        figure.budgets += Format("| 4. service %s | none (reported) | start %s, stop %s | - |\n", services[k].name,
                                 Ratio(Median(services[k].start), Median(base.start)).c_str(),
                                 Ratio(Median(services[k].stop), Median(base.stop)).c_str());
}

Figure ServicesFigure(const Bench &bench)
{
    Say("== 4. service hosts, %d start/stop cycles each\n", bench.serviceRuns);
    Service services[Services];
    services[0].name = "quorviUpdateService", services[0].exe = "quorviUpdateService.exe";
    services[1].name = "quorviService", services[1].exe = "quorviService.exe";
    services[2].name = "quorviBenchService", services[2].exe = "bench_service.exe", services[2].baseline = true;
    Figure figure;
    figure.section = "## 4. Service hosts\n\n";
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    if (!manager) {
        Say("OpenSCManagerA failed (error %lu)\n", GetLastError());
        figure.measurementFailed = true;
        figure.section += "Not measured: no access to the service control manager.\n\n";
        return figure;
    }
    if (!MeasureServices(bench, manager, services)) figure.measurementFailed = true;
    CloseServiceHandle(manager);
    ReportServices(bench, services, figure);
    return figure;
}
