/* Native Linux ZARN load client for run-zarn-bench.sh (built with the host's gcc).
 *
 *   zarn_client cycles  PORT SECONDS RECORD A1 B1 [A2 B2 ...]  call cycles, one client per pair
 *   zarn_client fan     PORT RINGS CLIENTS RECORD DRIVER_RECORD X Y  one ring of X watched by CLIENTS
 *   zarn_client devices PORT                                   GetDevices, time to the Ok
 *   zarn_client welcome PORT SECONDS                           a connection got its welcome and Help's answer at
 *   zarn_client rsteps   PORT SECONDS CLIENTS FILE             cycles against the replay server, step by step
 *   zarn_client rcycles  PORT SECONDS CLIENTS FILE             the same, the whole cycle in one answer
 *   zarn_client rfansteps PORT RINGS CLIENTS FILE DRIVER_FILE  one ring of the replay to CLIENTS, step by step
 *   zarn_client rfan     PORT RINGS CLIENTS FILE               the same, the whole cycle in one answer
 *   zarn_client rwelcome PORT SECONDS                          `welcome` for the replay server
 *
 * A cycle: MakeCall A->B, AnswerCall B, ClearConnection A, ClearConnection B; each step waits for
 * its Done and for the event that shows it happened. RECORD ("-" for none) receives the lines one
 * client got in one steady-state cycle, step by step (ReplayRecord.h), which the replay server
 * then sends as they are: against it a step waits for all of that step's recorded lines.
 * Output: one "key value" per line. Every wait is bounded. */
#define _GNU_SOURCE
#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include "ReplayRecord.h"

#define MAXCONN 256
#define BUFSZ 65536
#define MAXSAMPLES 2000000
#define STEP_TIMEOUT 30.0

typedef struct Conn {
    int fd;
    char in[BUFSZ];
    size_t inlen;
    long events, lines;
    /* cycle state */
    const char *a, *b;
    int step;
    double sent, lastLineAt; /* when its step was asked for; when the last line of an answer came */
    int gotDone, gotEvent, gotEvent2;
    long cycles;
    /* recording */
    struct Conn* watcher; /* another connection whose record gets this one's step marks too */
    int recording;
    char* rec;
    size_t reclen, reccap;
    /* replay / fan: lines wanted and seen */
    long want, seen;
    int seenRing, seenCleared;
    int idle; /* its last cycle is over and no new one starts */
} Conn;

static Conn conns[MAXCONN];
static int nconn;
static double *doneLat, *clearLat;
static long ndone, nclear;

static double Now(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

static void Die(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    fprintf(stderr, "zarn_client: ");
    vfprintf(stderr, fmt, ap);
    fprintf(stderr, "\n");
    va_end(ap);
    exit(1);
}

static int Connect(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    struct sockaddr_in sa;
    memset(&sa, 0, sizeof sa);
    sa.sin_family = AF_INET;
    sa.sin_port = htons((unsigned short)port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, (struct sockaddr*)&sa, sizeof sa) < 0) {
        close(fd);
        return -1;
    }
    return fd;
}

static void Send(Conn* c, const char* fmt, ...) {
    char line[512];
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(line, sizeof line - 2, fmt, ap);
    va_end(ap);
    line[n++] = '\r';
    line[n++] = '\n';
    if (send(c->fd, line, (size_t)n, MSG_NOSIGNAL) != n) Die("send failed: %s", strerror(errno));
}

static void Record(Conn* c, const char* data, size_t n) {
    if (!c->recording) return;
    if (c->reclen + n > c->reccap) {
        c->reccap = (c->reclen + n) * 2;
        c->rec = realloc(c->rec, c->reccap);
        if (!c->rec) Die("out of memory");
    }
    memcpy(c->rec + c->reclen, data, n);
    c->reclen += n;
}

typedef void (*LineFn)(Conn* c, const char* line, double t);

/* Reads what is there on every connection (waiting up to `ms`) and hands out whole lines. */
static void Pump(int ms, LineFn fn) {
    struct pollfd p[MAXCONN];
    for (int i = 0; i < nconn; ++i) {
        p[i].fd = conns[i].fd;
        p[i].events = POLLIN;
        p[i].revents = 0;
    }
    int r = poll(p, (nfds_t)nconn, ms);
    if (r <= 0) return;
    double t = Now();
    for (int i = 0; i < nconn; ++i) {
        if (!(p[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        Conn* c = &conns[i];
        ssize_t got = recv(c->fd, c->in + c->inlen, BUFSZ - 1 - c->inlen, 0);
        if (got <= 0) Die("connection %d closed by the server", i);
        c->inlen += (size_t)got;
        size_t start = 0;
        for (size_t k = 0; k < c->inlen; ++k) {
            char ch = c->in[k];
            if (ch == '\r' || ch == '\n' || ch == '\0') {
                if (k > start) {
                    c->in[k] = '\0';
                    Record(c, c->in + start, k - start);
                    Record(c, "\r\n", 2);
                    c->lines++;
                    if (!strncmp(c->in + start, "{Event:", 7)) c->events++;
                    fn(c, c->in + start, t);
                }
                start = k + 1;
            }
        }
        memmove(c->in, c->in + start, c->inlen - start);
        c->inlen -= start;
        if (c->inlen >= BUFSZ - 1) Die("overlong line from the server");
    }
}

static int Has(const char* line, const char* part) { return strstr(line, part) != NULL; }

static int IsEvent(const char* line, const char* event, const char* ext) {
    char want[128];
    snprintf(want, sizeof want, "{Event:%s}{Ext:%s}", event, ext);
    return !strncmp(line, want, strlen(want));
}

static int IsDone(const char* line) { return !strncmp(line, "{Response:Done}", 15); }

static void Fail(const char* line) {
    if (!strncmp(line, "{Response:Error}", 16) || Has(line, "{Success:0}") || Has(line, "{Event:CommandFailed}"))
        Die("the service refused: %s", line);
}

static void Sample(double* arr, long* n, double v) {
    if (*n < MAXSAMPLES) arr[(*n)++] = v;
}

/* --- call cycles ----------------------------------------------------------------------------- */

static const char* kStepCmd[4] = {"MakeCall", "AnswerCall", "ClearConnection", "ClearConnection"};

/* Lines that arrive from now on belong to the step begun with CMD. */
static void MarkStep(Conn* rec, const char* cmd) {
    if (!rec || !rec->recording) return;
    Record(rec, REPLAY_STEP_MARK, strlen(REPLAY_STEP_MARK));
    Record(rec, cmd, strlen(cmd));
    Record(rec, "}\r\n", 3);
}

static void StartStep(Conn* c, double t) {
    c->gotDone = c->gotEvent = c->gotEvent2 = 0;
    c->sent = t;
    MarkStep(c, kStepCmd[c->step]);
    if (c->watcher != c) MarkStep(c->watcher, kStepCmd[c->step]);
    switch (c->step) {
    case 0:
        Send(c, "{Cmd:MakeCall}{InvokeId:m%ld}{Ext:%s}{Dest:%s}", c->cycles, c->a, c->b);
        break;
    case 1:
        Send(c, "{Cmd:AnswerCall}{InvokeId:a%ld}{Ext:%s}", c->cycles, c->b);
        break;
    case 2:
        Send(c, "{Cmd:ClearConnection}{InvokeId:c%ld}{Ext:%s}", c->cycles, c->a);
        break;
    case 3:
        Send(c, "{Cmd:ClearConnection}{InvokeId:d%ld}{Ext:%s}", c->cycles, c->b);
        break;
    }
}

static int measuring, stopping;
static const long recordAt = 3; /* the cycle whose lines are recorded */

static void CycleLine(Conn* c, const char* line, double t) {
    Fail(line);
    if (IsDone(line)) {
        char cmd[64];
        snprintf(cmd, sizeof cmd, "{Cmd:%s}", kStepCmd[c->step]);
        if (!Has(line, cmd)) Die("unexpected completion in step %d: %s", c->step, line);
        c->gotDone = 1;
        if (measuring) Sample(doneLat, &ndone, (t - c->sent) * 1000.0);
    }
    switch (c->step) {
    case 0:
        if (IsEvent(line, "CallReceived", c->b)) c->gotEvent = 1;
        c->gotEvent2 = 1;
        break;
    case 1:
        if (IsEvent(line, "CallEstablished", c->b)) c->gotEvent = 1;
        c->gotEvent2 = 1;
        break;
    case 2:
        if (IsEvent(line, "CallCleared", c->a)) {
            c->gotEvent = 1;
            if (measuring) Sample(clearLat, &nclear, (t - c->sent) * 1000.0);
        }
        c->gotEvent2 = 1; /* B's CallDisconnected is not awaited: older builds send none */
        break;
    case 3:
        if (IsEvent(line, "CallCleared", c->b)) {
            c->gotEvent = 1;
            if (measuring) Sample(clearLat, &nclear, (t - c->sent) * 1000.0);
        }
        c->gotEvent2 = 1;
        break;
    }
}

static void Advance(Conn* c, double t) {
    if (c->idle) return;
    if (!(c->gotDone && c->gotEvent && c->gotEvent2)) {
        if (t - c->sent > STEP_TIMEOUT)
            Die("step %d of %s/%s got no answer in %.0f s", c->step, c->a, c->b, STEP_TIMEOUT);
        return;
    }
    if (++c->step == 4) {
        c->step = 0;
        c->cycles++;
        if (c->rec && c->cycles == recordAt) c->recording = 1;
        if (c->rec && c->cycles == recordAt + 1) c->recording = 0;
        if (stopping && !c->recording) {
            c->idle = 1;
            return;
        }
    }
    StartStep(c, t);
}

static void WaitFor(Conn* c, const char* part, double seconds) {
    double end = Now() + seconds;
    while (Now() < end) {
        char* hit = NULL;
        size_t start = 0;
        struct pollfd p = {c->fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        ssize_t got = recv(c->fd, c->in + c->inlen, BUFSZ - 1 - c->inlen, 0);
        if (got <= 0) Die("connection closed while waiting for %s", part);
        c->inlen += (size_t)got;
        for (size_t k = 0; k < c->inlen; ++k) {
            if (c->in[k] == '\r' || c->in[k] == '\n' || c->in[k] == '\0') {
                c->in[k] = '\0';
                if (k > start) {
                    Fail(c->in + start);
                    if (strstr(c->in + start, part)) hit = c->in + start;
                }
                start = k + 1;
            }
        }
        memmove(c->in, c->in + start, c->inlen - start);
        c->inlen -= start;
        if (hit) return;
    }
    Die("no %s within %.0f s", part, seconds);
}

static void OpenConns(int port, int n) {
    for (int i = 0; i < n; ++i) {
        memset(&conns[i], 0, sizeof conns[i]);
        conns[i].fd = Connect(port);
        if (conns[i].fd < 0) Die("cannot connect client %d: %s", i, strerror(errno));
        nconn = i + 1;
    }
}

static void Monitor(Conn* c, const char* ext) {
    Send(c, "{Cmd:MonitorStart}{InvokeId:ms%s}{Ext:%s}", ext, ext);
    char part[96];
    snprintf(part, sizeof part, "{Response:Ok}{Cmd:MonitorStart}{InvokeId:ms%s}", ext);
    WaitFor(c, part, 60);
}

static int CmpDouble(const void* x, const void* y) {
    double a = *(const double*)x, b = *(const double*)y;
    return a < b ? -1 : a > b;
}

static double Pct(double* v, long n, double p) {
    if (n == 0) return -1;
    qsort(v, (size_t)n, sizeof *v, CmpDouble);
    long i = (long)(p * (double)(n - 1) + 0.5);
    return v[i];
}

static void WriteRecord(const char* path, Conn* c) {
    if (!strcmp(path, "-")) return;
    if (c->recording || c->reclen == 0) Die("too few cycles to record one (%ld)", c->cycles);
    FILE* f = fopen(path, "wb");
    if (!f || fwrite(c->rec, 1, c->reclen, f) != c->reclen || fclose(f)) Die("cannot write %s", path);
}

static int Cycles(int port, double seconds, const char* record, int pairs, char** ext) {
    OpenConns(port, pairs);
    for (int i = 0; i < pairs; ++i) {
        Conn* c = &conns[i];
        c->a = ext[2 * i];
        c->b = ext[2 * i + 1];
        Monitor(c, c->a);
        Monitor(c, c->b);
        c->inlen = 0;
    }
    if (strcmp(record, "-")) conns[0].rec = malloc(1), conns[0].reccap = 1;
    double t = Now();
    for (int i = 0; i < nconn; ++i) StartStep(&conns[i], t);
    /* One warm-up second, then the measured window; the cycles in flight run to their end. */
    double warm = t + 1.0, end = warm + seconds;
    long events0 = 0, cycles0 = 0;
    while ((t = Now()) < end) {
        if (!measuring && t >= warm) {
            measuring = 1;
            for (int i = 0; i < nconn; ++i) events0 += conns[i].events, cycles0 += conns[i].cycles;
        }
        Pump(50, CycleLine);
        for (int i = 0; i < nconn; ++i) Advance(&conns[i], Now());
    }
    long events = -events0, cycles = -cycles0;
    for (int i = 0; i < nconn; ++i) events += conns[i].events, cycles += conns[i].cycles;
    double span = Now() - warm;
    /* Cycles in flight run to their end: no call is left on the lines for the next run, and
     * the record is whole. */
    measuring = 0;
    stopping = 1;
    double stop = Now() + STEP_TIMEOUT;
    for (;;) {
        int busy = 0;
        for (int i = 0; i < nconn; ++i) busy |= !conns[i].idle;
        if (!busy) break;
        if (Now() > stop) Die("cycles did not end within %.0f s", STEP_TIMEOUT);
        Pump(50, CycleLine);
        for (int i = 0; i < nconn; ++i) Advance(&conns[i], Now());
    }
    printf("clients %d\ncycles %ld\nevents_per_s %.1f\ncycles_per_s %.2f\n", pairs, cycles, events / span,
           cycles / span);
    printf("done_p50_ms %.3f\ndone_p99_ms %.3f\n", Pct(doneLat, ndone, 0.5), Pct(doneLat, ndone, 0.99));
    printf("clear_p50_ms %.3f\nclear_p99_ms %.3f\n", Pct(clearLat, nclear, 0.5), Pct(clearLat, nclear, 0.99));
    WriteRecord(record, &conns[0]);
    return 0;
}

/* --- one ring watched by many ---------------------------------------------------------------- */

static const char* fanX;

static void FanLine(Conn* c, const char* line, double t) {
    (void)t;
    Fail(line);
    if (c == &conns[0]) {
        if (IsDone(line)) c->gotDone = 1;
        if (IsEvent(line, "CallReceived", c->b)) c->gotEvent = 1;
        if (IsEvent(line, "CallEstablished", c->b) && c->step == 1) c->gotEvent = 1;
        if (IsEvent(line, "CallDisconnected", c->b) && c->step == 2) c->gotEvent = 1;
        if (IsEvent(line, "CallCleared", c->a) && c->step == 2) c->gotEvent2 = 1;
    }
    if (IsEvent(line, "CallReceived", fanX)) c->seenRing = 1;
    if (IsEvent(line, "CallCleared", fanX)) c->seenCleared = 1;
}

static int AllSeen(int cleared) {
    for (int i = 0; i < nconn; ++i)
        if (!(cleared ? conns[i].seenCleared : conns[i].seenRing)) return 0;
    return 1;
}

static void PumpUntil(int (*done)(void)) {
    double end = Now() + STEP_TIMEOUT;
    while (!done()) {
        if (Now() > end) Die("fan-out step got no answer in %.0f s", STEP_TIMEOUT);
        Pump(50, FanLine);
    }
}

static int DriverStepDone(void) { return conns[0].gotDone && conns[0].gotEvent && conns[0].gotEvent2; }
static int RingSeen(void) { return AllSeen(0) && DriverStepDone(); }
static int ClearSeen(void) { return AllSeen(1) && DriverStepDone(); }

/* RECORD gets what a watching client got in one ring, DRIVER_RECORD what the driver got. */
static int Fan(int port, int rings, int clients, const char* record, const char* driverRecord, const char* x,
               const char* y) {
    fanX = x;
    OpenConns(port, clients);
    for (int i = 0; i < clients; ++i) Monitor(&conns[i], x);
    Monitor(&conns[0], y);
    for (int i = 0; i < clients; ++i) conns[i].inlen = 0;
    Conn* d = &conns[0];
    d->a = y;
    d->b = x;
    Conn* r = clients > 1 ? &conns[1] : &conns[0];
    d->watcher = r;
    double *ring = calloc((size_t)rings, sizeof *ring), *cycle = calloc((size_t)rings, sizeof *cycle);
    for (int k = 0; k < rings + 2; ++k) { /* two rings for warm-up */
        for (int i = 0; i < nconn; ++i) conns[i].seenRing = conns[i].seenCleared = 0;
        if (k == 2) r->recording = strcmp(record, "-") != 0, d->recording = strcmp(driverRecord, "-") != 0;
        if (k == 3) r->recording = d->recording = 0;
        double t0 = Now();
        d->step = 0;
        StartStep(d, t0);
        d->gotEvent2 = 1;
        PumpUntil(RingSeen);
        double t1 = Now();
        d->step = 1;
        StartStep(d, t1);
        d->gotEvent2 = 1;
        PumpUntil(DriverStepDone);
        d->step = 2;
        StartStep(d, Now());
        d->gotEvent = 1; /* X's CallDisconnected is not awaited: older builds send none */
        PumpUntil(DriverStepDone);
        d->step = 3;
        StartStep(d, Now());
        d->gotEvent = d->gotEvent2 = 1;
        PumpUntil(ClearSeen);
        if (k >= 2) {
            ring[k - 2] = (t1 - t0) * 1000.0;
            cycle[k - 2] = (Now() - t0) * 1000.0;
        }
    }
    /* Trailing lines of the recorded ring (phone state after the clear) come with the next ring. */
    printf("clients %d\nring_p50_ms %.3f\n", clients, Pct(ring, rings, 0.5));
    printf("fan_cycle_p50_ms %.3f\n", Pct(cycle, rings, 0.5));
    WriteRecord(record, r);
    WriteRecord(driverRecord, d);
    return 0;
}

/* --- replay server counterpart --------------------------------------------------------------- */

static ReplayRecord record, driverRecord;

static void LoadRecord(const char* path, ReplayRecord* rec, int steps) {
    char err[256];
    if (ReplayRecordLoad(path, rec, err, sizeof err)) Die("%s: %s", path, err);
    if (rec->lines == 0) Die("%s holds no lines", path);
    if (steps && rec->count != 4) Die("%s holds %d steps; a call cycle has 4", path, rec->count);
}

static void ReplayLine(Conn* c, const char* line, double t) {
    if (!strncmp(line, "{Replay:Error}", 14)) Die("the replay server refused: %s", line);
    c->seen++;
    c->lastLineAt = t;
}

static void OpenReplayConns(int port, int clients) {
    OpenConns(port, clients);
    for (int i = 0; i < clients; ++i) {
        WaitFor(&conns[i], "{Replay:Ready}", 60);
        conns[i].inlen = 0;
    }
}

/* Asks for the next step (or, WHOLE, the whole cycle): the command line the service would get. */
static void RequestReplay(Conn* c, int whole, double t) {
    c->seen = 0;
    if (whole) {
        c->sent = t;
        c->want = record.lines;
        Send(c, "{Cmd:Cycle}");
    } else {
        c->want = record.steps[c->step].lines;
        StartStep(c, t);
    }
}

static void ReplayAdvance(Conn* c, int whole) {
    if (c->seen < c->want) {
        if (Now() - c->sent > STEP_TIMEOUT) Die("replay step %d got no answer in %.0f s", c->step, STEP_TIMEOUT);
        return;
    }
    if (c->seen > c->want) Die("replay step %d: %ld lines, %ld recorded", c->step, c->seen, c->want);
    if (measuring && !whole) Sample(doneLat, &ndone, (c->lastLineAt - c->sent) * 1000.0);
    if (whole || ++c->step == 4) {
        c->step = 0;
        c->cycles++;
    }
    RequestReplay(c, whole, Now());
}

static int ReplayCycles(int port, double seconds, int clients, const char* file, int whole) {
    LoadRecord(file, &record, !whole);
    OpenReplayConns(port, clients);
    double t = Now(), warm = t + 1.0, end = warm + seconds;
    long events0 = 0, cycles0 = 0;
    for (int i = 0; i < nconn; ++i) {
        conns[i].a = "201";
        conns[i].b = "202";
        RequestReplay(&conns[i], whole, t);
    }
    while ((t = Now()) < end) {
        if (!measuring && t >= warm) {
            measuring = 1;
            for (int i = 0; i < nconn; ++i) events0 += conns[i].events, cycles0 += conns[i].cycles;
        }
        Pump(50, ReplayLine);
        for (int i = 0; i < nconn; ++i) ReplayAdvance(&conns[i], whole);
    }
    long events = -events0, cycles = -cycles0;
    for (int i = 0; i < nconn; ++i) events += conns[i].events, cycles += conns[i].cycles;
    double span = Now() - warm;
    printf("clients %d\ncycles %ld\nevents_per_s %.1f\ncycles_per_s %.2f\n", clients, cycles, events / span,
           cycles / span);
    if (!whole) printf("step_p50_ms %.3f\nstep_p99_ms %.3f\n", Pct(doneLat, ndone, 0.5), Pct(doneLat, ndone, 0.99));
    return 0;
}

static void ResetSeen(void) {
    for (int i = 0; i < nconn; ++i) conns[i].seen = 0;
}

/* Every watcher (every connection but the driver's) got WANT lines. */
static int WatchersGot(long want) {
    for (int i = 1; i < nconn; ++i)
        if (conns[i].seen < want) return 0;
    return 1;
}

static void PumpReplayUntil(long driverWant, long watcherWant) {
    double end = Now() + STEP_TIMEOUT;
    while (conns[0].seen < driverWant || !WatchersGot(watcherWant)) {
        if (Now() > end) Die("replayed ring did not reach every client");
        Pump(50, ReplayLine);
    }
}

/* What the ring sent must be what was recorded, no more. */
static void CheckRingLines(long driverWant, long watcherWant) {
    if (conns[0].seen != driverWant)
        Die("replayed ring: the driver got %ld lines, %ld recorded", conns[0].seen, driverWant);
    for (int i = 1; i < nconn; ++i)
        if (conns[i].seen != watcherWant)
            Die("replayed ring: client %d got %ld lines, %ld recorded", i, conns[i].seen, watcherWant);
}

/* The whole cycle's lines to every client at once: the driver gets a watcher's lines too. */
static void ReplayFanWhole(Conn* d) {
    ResetSeen();
    Send(d, "{Cmd:Fan}");
    PumpReplayUntil(record.lines, record.lines);
    CheckRingLines(record.lines, record.lines);
}

/* Step by step, awaited as Fan awaits the service: the ring and the clear on every client, the
 * answer and the call's other steps on the driver. Returns when the ring step was over. */
static double ReplayFanSteps(Conn* d) {
    static const int kAllClients[4] = {1, 0, 0, 1};
    double ringDone = 0;
    long driverWant = 0, watcherWant = 0;
    ResetSeen();
    for (d->step = 0; d->step < 4; ++d->step) {
        driverWant += driverRecord.steps[d->step].lines;
        watcherWant += record.steps[d->step].lines;
        StartStep(d, Now());
        PumpReplayUntil(driverWant, kAllClients[d->step] ? watcherWant : 0);
        if (d->step == 0) ringDone = Now();
    }
    d->cycles++;
    CheckRingLines(driverWant, watcherWant);
    return ringDone;
}

static int ReplayFan(int port, int rings, int clients, const char* file, const char* driverFile) {
    int whole = driverFile == NULL;
    LoadRecord(file, &record, !whole);
    if (!whole) LoadRecord(driverFile, &driverRecord, 1);
    OpenReplayConns(port, clients);
    Conn* d = &conns[0];
    d->a = "3002";
    d->b = "3001";
    if (!whole) Send(d, "{Replay:FanSteps}");
    double *ring = calloc((size_t)rings, sizeof *ring), *cycle = calloc((size_t)rings, sizeof *cycle);
    for (int k = 0; k < rings + 2; ++k) { /* two rings for warm-up, as against the service */
        double t0 = Now(), t1 = t0;
        if (whole)
            ReplayFanWhole(d);
        else
            t1 = ReplayFanSteps(d);
        if (k >= 2) {
            ring[k - 2] = (t1 - t0) * 1000.0;
            cycle[k - 2] = (Now() - t0) * 1000.0;
        }
    }
    printf("clients %d\n", clients);
    if (!whole) printf("ring_p50_ms %.3f\n", Pct(ring, rings, 0.5));
    printf("fan_cycle_p50_ms %.3f\n", Pct(cycle, rings, 0.5));
    return 0;
}

/* --- single measurements --------------------------------------------------------------------- */

static int Devices(int port) {
    OpenConns(port, 1);
    Conn* c = &conns[0];
    WaitFor(c, "{Event:Welcome}", 30);
    double t0 = Now();
    Send(c, "{Cmd:GetDevices}{InvokeId:g}");
    WaitFor(c, "{Response:Ok}{Cmd:GetDevices}{InvokeId:g}", 120);
    printf("getdevices_ms %.3f\n", (Now() - t0) * 1000.0);
    return 0;
}

/* GREETING is what a new connection gets first: the service's welcome or the replay's. */
static int Welcome(int port, double seconds, const char* greeting) {
    double end = Now() + seconds;
    while (Now() < end) {
        int fd = Connect(port);
        if (fd >= 0) {
            memset(&conns[0], 0, sizeof conns[0]);
            conns[0].fd = fd;
            nconn = 1;
            WaitFor(&conns[0], greeting, end - Now() > 1 ? end - Now() : 1);
            Send(&conns[0], "{Cmd:Help}{InvokeId:p}"); /* Ping is newer than some builds measured */
            WaitFor(&conns[0], "{Response:Ok}{Cmd:Help}", 30);
            /* Wall-clock time, for the script to subtract the moment it launched the server. */
            struct timespec ts;
            clock_gettime(CLOCK_REALTIME, &ts);
            printf("answered_at %ld.%06ld\n", (long)ts.tv_sec, ts.tv_nsec / 1000);
            return 0;
        }
        usleep(2000);
    }
    Die("the service did not answer within %.0f s", seconds);
    return 1;
}

int main(int argc, char** argv) {
    if (argc < 3) Die("usage: see the head of zarn_client.c");
    setvbuf(stdout, NULL, _IOLBF, 0);
    doneLat = malloc(MAXSAMPLES * sizeof *doneLat);
    clearLat = malloc(MAXSAMPLES * sizeof *clearLat);
    const char* mode = argv[1];
    int port = atoi(argv[2]);
    if (!strcmp(mode, "cycles") && argc >= 7 && (argc - 5) % 2 == 0 && (argc - 5) / 2 <= MAXCONN)
        return Cycles(port, atof(argv[3]), argv[4], (argc - 5) / 2, argv + 5);
    if (!strcmp(mode, "fan") && argc == 9 && atoi(argv[4]) >= 2 && atoi(argv[4]) <= MAXCONN)
        return Fan(port, atoi(argv[3]), atoi(argv[4]), argv[5], argv[6], argv[7], argv[8]);
    if (!strcmp(mode, "devices")) return Devices(port);
    if (!strcmp(mode, "welcome") && argc == 4) return Welcome(port, atof(argv[3]), "{Event:Welcome}");
    if (!strcmp(mode, "rwelcome") && argc == 4) return Welcome(port, atof(argv[3]), "{Replay:Ready}");
    int replayArgs = argc == 6 && atoi(argv[4]) >= 1 && atoi(argv[4]) <= MAXCONN;
    if (!strcmp(mode, "rsteps") && replayArgs) return ReplayCycles(port, atof(argv[3]), atoi(argv[4]), argv[5], 0);
    if (!strcmp(mode, "rcycles") && replayArgs) return ReplayCycles(port, atof(argv[3]), atoi(argv[4]), argv[5], 1);
    if (!strcmp(mode, "rfan") && replayArgs) return ReplayFan(port, atoi(argv[3]), atoi(argv[4]), argv[5], NULL);
    if (!strcmp(mode, "rfansteps") && argc == 7 && atoi(argv[4]) >= 2 && atoi(argv[4]) <= MAXCONN)
        return ReplayFan(port, atoi(argv[3]), atoi(argv[4]), argv[5], argv[6]);
    Die("bad arguments; see the head of zarn_client.c");
    return 1;
}
