/* The lines one client got in one recorded call cycle, step by step: what the replay server sends
 * and what the benchmark client counts. Plain C and stdio, built both by the native client and
 * under Wine.
 *
 * A record file holds the lines as received, each step begun by a mark line
 *   {Replay:Step}{Cmd:NAME}
 * where NAME is the command the client sent at the start of the step (MakeCall, ...). A step holds
 * the lines that arrived after its command was sent and before the next step's. */
#ifndef TVX_BENCH_REPLAY_RECORD_H
#define TVX_BENCH_REPLAY_RECORD_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define REPLAY_MAX_STEPS 8
#define REPLAY_MAX_CMD 32
#define REPLAY_STEP_MARK "{Replay:Step}{Cmd:"

typedef struct {
    char cmd[REPLAY_MAX_CMD]; /* the command that began the step */
    const char* data;         /* its lines, each ended by CR LF; points into the record's `whole` */
    int size;
    int lines;
} ReplayStep;

typedef struct {
    ReplayStep steps[REPLAY_MAX_STEPS];
    int count;
    char* whole; /* every step's lines in order: the whole cycle, without the marks */
    int size;
    int lines;
} ReplayRecord;

/* Parses SIZE bytes of TEXT into REC. Returns 0, or -1 with the reason in ERR (REC then holds
 * nothing to free). Lines may end in CR, LF or NUL; empty lines are skipped. */
int ReplayRecordParse(const char* text, size_t size, ReplayRecord* rec, char* err, size_t errSize);

/* Reads and parses the file at PATH. */
int ReplayRecordLoad(const char* path, ReplayRecord* rec, char* err, size_t errSize);

void ReplayRecordFree(ReplayRecord* rec);

/* Whether LINE is a command line of STEP's command: it begins with {Cmd:NAME}. */
int ReplayStepMatches(const ReplayStep* step, const char* line);

#ifdef __cplusplus
}
#endif

#endif
