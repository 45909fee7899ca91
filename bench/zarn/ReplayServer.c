/* Baseline for run-zarn-bench.sh: a server under Wine that sends the lines the service sent in one
 * recorded call cycle, with no telephony behind it.
 *   zarn_replay.exe PORT CYCLE_FILE FAN_FILE FAN_DRIVER_FILE SECONDS
 * The files are records of ReplayRecord.h: one client's call cycles; of a ring watched by many
 * clients, what a watching client got and what the client driving the call got. Each connection
 * first gets {Replay:Ready}. Then:
 *   {Cmd:Cycle}        the whole cycle's lines to this client, in one send()
 *   {Cmd:Fan}          a watcher's whole ring to every client, one send() each
 *   {Replay:FanSteps}  this client drives the ring from now on
 *   {Cmd:Help}         {Response:Ok}{Cmd:Help}: start-up is measured as for the service
 *   any other {Cmd:X}  the next step, which must have begun with command X: the step's lines of
 *                      the cycle to this client; of a ring, the driver's to this client and a
 *                      watcher's to every other client; one send() to each
 * A step command out of order gets {Replay:Error}. The server ends after SECONDS. */
#define FD_SETSIZE 512
#include <winsock2.h>
#include <ws2tcpip.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ReplayRecord.h"

#define MAXCLIENTS 300
#define MAXLINE 256

typedef struct {
    SOCKET s;
    char pending[MAXLINE]; /* the start of a line not yet ended */
    int pendingLen;
    int step;     /* the next step of its record */
    int fanSteps; /* it drives the ring: its step commands step the fan-out records */
} Client;

static Client clients[MAXCLIENTS];
static int count;
static ReplayRecord cycle, fan, fanDriver;

static int SendAll(SOCKET s, const char* data, int size) {
    while (size > 0) {
        int n = send(s, data, size, 0);
        if (n == SOCKET_ERROR) {
            if (WSAGetLastError() != WSAEWOULDBLOCK) return 0;
            fd_set w;
            FD_ZERO(&w);
            FD_SET(s, &w);
            select(0, NULL, &w, NULL, NULL);
            continue;
        }
        data += n;
        size -= n;
    }
    return 1;
}

static void SendText(SOCKET s, const char* text) { SendAll(s, text, (int)strlen(text)); }

/* One send() to each client but SKIP, which may be NULL; nothing for an empty step. */
static void SendToOthers(const Client* skip, const char* data, int size) {
    if (size == 0) return;
    for (int j = 0; j < count; ++j)
        if (&clients[j] != skip) SendAll(clients[j].s, data, size);
}

static void AnswerStep(Client* c, const char* line) {
    ReplayRecord* rec = c->fanSteps ? &fanDriver : &cycle;
    const ReplayStep* step = &rec->steps[c->step];
    if (!ReplayStepMatches(step, line)) {
        char error[96];
        snprintf(error, sizeof error, "{Replay:Error}{Expected:%s}\r\n", step->cmd);
        SendText(c->s, error);
        return;
    }
    if (step->size) SendAll(c->s, step->data, step->size);
    if (c->fanSteps) SendToOthers(c, fan.steps[c->step].data, fan.steps[c->step].size);
    c->step = (c->step + 1) % rec->count;
}

static void OnLine(Client* c, const char* line) {
    if (!strcmp(line, "{Cmd:Cycle}")) {
        SendAll(c->s, cycle.whole, cycle.size);
    } else if (!strcmp(line, "{Cmd:Fan}")) {
        SendToOthers(NULL, fan.whole, fan.size);
    } else if (!strcmp(line, "{Replay:FanSteps}")) {
        c->fanSteps = 1;
        c->step = 0;
    } else if (!strncmp(line, "{Cmd:Help}", 10)) {
        SendText(c->s, "{Response:Ok}{Cmd:Help}\r\n");
    } else if (!strncmp(line, "{Cmd:", 5)) {
        AnswerStep(c, line);
    } else {
        SendText(c->s, "{Replay:Error}{Unknown:line}\r\n");
    }
}

static void Accept(SOCKET listener) {
    SOCKET s = accept(listener, NULL, NULL);
    if (s == INVALID_SOCKET) return;
    BOOL one = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, (const char*)&one, sizeof one);
    memset(&clients[count], 0, sizeof clients[count]);
    clients[count++].s = s;
    SendText(s, "{Replay:Ready}\r\n"); /* the client starts once every connection has it */
}

/* Reads what client I sent; 0 when it has gone (it is then replaced by the last client). */
static int Receive(int i) {
    Client* c = &clients[i];
    char buf[4096];
    int n = recv(c->s, buf, sizeof buf, 0);
    if (n <= 0) {
        closesocket(c->s);
        clients[i] = clients[--count];
        return 0;
    }
    for (int k = 0; k < n; ++k) {
        char ch = buf[k];
        if (ch != '\r' && ch != '\n') {
            if (c->pendingLen < MAXLINE - 1) c->pending[c->pendingLen++] = ch;
            continue;
        }
        if (c->pendingLen == 0) continue;
        c->pending[c->pendingLen] = '\0';
        c->pendingLen = 0;
        OnLine(c, c->pending);
    }
    return 1;
}

static int LoadRecord(const char* path, ReplayRecord* rec) {
    char err[256];
    if (ReplayRecordLoad(path, rec, err, sizeof err) == 0) return 1;
    fprintf(stderr, "zarn_replay: %s: %s\n", path, err);
    return 0;
}

int main(int argc, char** argv) {
    if (argc != 6) {
        fprintf(stderr, "usage: zarn_replay.exe PORT CYCLE_FILE FAN_FILE FAN_DRIVER_FILE SECONDS\n");
        return 2;
    }
    if (!LoadRecord(argv[2], &cycle) || !LoadRecord(argv[3], &fan) || !LoadRecord(argv[4], &fanDriver)) return 1;
    if (fan.count != fanDriver.count) {
        fprintf(stderr, "zarn_replay: the two records of the ring differ in their steps\n");
        return 1;
    }
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    struct sockaddr_in sa;
    memset(&sa, 0, sizeof sa);
    sa.sin_family = AF_INET;
    sa.sin_port = htons((u_short)atoi(argv[1]));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener, (struct sockaddr*)&sa, sizeof sa) || listen(listener, SOMAXCONN)) {
        fprintf(stderr, "zarn_replay: cannot listen on port %s\n", argv[1]);
        return 1;
    }
    printf("replay listening on port %s\n", argv[1]);
    fflush(stdout);

    DWORD end = GetTickCount() + (DWORD)atoi(argv[5]) * 1000u;
    while ((LONG)(end - GetTickCount()) > 0) {
        fd_set r;
        FD_ZERO(&r);
        FD_SET(listener, &r);
        for (int i = 0; i < count; ++i) FD_SET(clients[i].s, &r);
        struct timeval tv = {0, 200000};
        if (select(0, &r, NULL, NULL, &tv) <= 0) continue;
        /* A gone client's place takes the last one, whose readiness is then looked at. */
        for (int i = 0; i < count; ++i)
            if (FD_ISSET(clients[i].s, &r) && !Receive(i)) --i;
        if (FD_ISSET(listener, &r) && count < MAXCLIENTS) Accept(listener);
    }
    for (int i = 0; i < count; ++i) closesocket(clients[i].s);
    closesocket(listener);
    WSACleanup();
    return 0;
}
