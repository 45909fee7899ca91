/* Baseline for run-zarn-bench.sh: a server under Wine that sends the lines the service sent in one
 * recorded cycle, with no telephony behind it and one send() per client per cycle.
 *   zarn_replay.exe PORT CYCLE_FILE FAN_FILE SECONDS
 * Each connection first gets {Replay:Ready}. A client line {Cmd:Cycle} gets the cycle's lines; {Cmd:Fan} sends the fan-out record to every
 * client. The server ends after SECONDS. */
#define FD_SETSIZE 512
#include <winsock2.h>
#include <ws2tcpip.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define MAXCLIENTS 300

static char* ReadAll(const char* path, int* size) {
    FILE* f = fopen(path, "rb");
    if (!f) return NULL;
    fseek(f, 0, SEEK_END);
    long n = ftell(f);
    fseek(f, 0, SEEK_SET);
    char* data = malloc((size_t)n + 1);
    if (!data || fread(data, 1, (size_t)n, f) != (size_t)n) return NULL;
    fclose(f);
    *size = (int)n;
    return data;
}

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

int main(int argc, char** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: zarn_replay.exe PORT CYCLE_FILE FAN_FILE SECONDS\n");
        return 2;
    }
    int cycleSize = 0, fanSize = 0;
    char *cycle = ReadAll(argv[2], &cycleSize), *fan = ReadAll(argv[3], &fanSize);
    if (!cycle || !fan) {
        fprintf(stderr, "zarn_replay: cannot read the records\n");
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

    SOCKET clients[MAXCLIENTS];
    char pending[MAXCLIENTS][64]; /* the start of a line not yet ended */
    int pendingLen[MAXCLIENTS];
    int count = 0;
    DWORD end = GetTickCount() + (DWORD)atoi(argv[4]) * 1000u;
    while ((LONG)(end - GetTickCount()) > 0) {
        fd_set r;
        FD_ZERO(&r);
        FD_SET(listener, &r);
        for (int i = 0; i < count; ++i) FD_SET(clients[i], &r);
        struct timeval tv = {0, 200000};
        if (select(0, &r, NULL, NULL, &tv) <= 0) continue;
        if (FD_ISSET(listener, &r) && count < MAXCLIENTS) {
            SOCKET s = accept(listener, NULL, NULL);
            if (s != INVALID_SOCKET) {
                BOOL one = TRUE;
                setsockopt(s, IPPROTO_TCP, TCP_NODELAY, (const char*)&one, sizeof one);
                pendingLen[count] = 0;
                clients[count++] = s;
                SendAll(s, "{Replay:Ready}\r\n", 16); /* the client starts once every connection has it */
            }
        }
        for (int i = 0; i < count; ++i) {
            if (!FD_ISSET(clients[i], &r)) continue;
            char buf[4096];
            int n = recv(clients[i], buf, sizeof buf, 0);
            if (n <= 0) {
                closesocket(clients[i]);
                clients[i] = clients[--count];
                pendingLen[i] = pendingLen[count];
                memcpy(pending[i], pending[count], sizeof pending[i]);
                --i;
                continue;
            }
            for (int k = 0; k < n; ++k) {
                char ch = buf[k];
                if (ch != '\r' && ch != '\n') {
                    if (pendingLen[i] < 63) pending[i][pendingLen[i]++] = ch;
                    continue;
                }
                pending[i][pendingLen[i]] = '\0';
                if (!strcmp(pending[i], "{Cmd:Cycle}")) {
                    SendAll(clients[i], cycle, cycleSize);
                } else if (!strcmp(pending[i], "{Cmd:Fan}")) {
                    for (int j = 0; j < count; ++j) SendAll(clients[j], fan, fanSize);
                }
                pendingLen[i] = 0;
            }
        }
    }
    for (int i = 0; i < count; ++i) closesocket(clients[i]);
    closesocket(listener);
    WSACleanup();
    return 0;
}
