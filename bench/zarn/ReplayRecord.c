#include "ReplayRecord.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Records are a few kilobytes; anything this large is not one. */
#define REPLAY_MAX_FILE (16 * 1024 * 1024)

static int Refuse(ReplayRecord* rec, char* err, size_t errSize, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    if (errSize) vsnprintf(err, errSize, fmt, ap);
    va_end(ap);
    ReplayRecordFree(rec);
    return -1;
}

static int IsLineEnd(char ch) { return ch == '\r' || ch == '\n' || ch == '\0'; }

/* The name in a mark line "{Replay:Step}{Cmd:NAME}"; 0 when the line is a bad mark. */
static int MarkName(const char* line, size_t len, char* name) {
    size_t markLen = strlen(REPLAY_STEP_MARK);
    if (len < markLen + 2 || line[len - 1] != '}') return 0;
    const char* start = line + markLen;
    size_t nameLen = len - markLen - 1;
    if (nameLen >= REPLAY_MAX_CMD || memchr(start, '{', nameLen) || memchr(start, '}', nameLen)) return 0;
    memcpy(name, start, nameLen);
    name[nameLen] = '\0';
    return 1;
}

int ReplayRecordParse(const char* text, size_t size, ReplayRecord* rec, char* err, size_t errSize) {
    memset(rec, 0, sizeof *rec);
    if (size > REPLAY_MAX_FILE) return Refuse(rec, err, errSize, "the record is larger than %d bytes", REPLAY_MAX_FILE);
    /* Each line gets CR LF: at most two bytes more than the text per line. */
    rec->whole = malloc(2 * size + 2);
    if (!rec->whole) return Refuse(rec, err, errSize, "out of memory");
    size_t markLen = strlen(REPLAY_STEP_MARK);
    ReplayStep* step = NULL;
    int lineNo = 0;
    size_t i = 0;
    while (i < size) {
        size_t start = i;
        while (i < size && !IsLineEnd(text[i])) ++i;
        size_t len = i - start;
        if (i < size) ++i;
        if (len == 0) continue;
        ++lineNo;
        const char* line = text + start;
        if (len >= markLen && !memcmp(line, REPLAY_STEP_MARK, markLen)) {
            if (rec->count == REPLAY_MAX_STEPS)
                return Refuse(rec, err, errSize, "line %d: more than %d steps", lineNo, REPLAY_MAX_STEPS);
            step = &rec->steps[rec->count];
            if (!MarkName(line, len, step->cmd)) return Refuse(rec, err, errSize, "line %d: a bad step mark", lineNo);
            step->data = rec->whole + rec->size;
            rec->count++;
            continue;
        }
        if (!step) return Refuse(rec, err, errSize, "line %d comes before the first step mark", lineNo);
        memcpy(rec->whole + rec->size, line, len);
        memcpy(rec->whole + rec->size + len, "\r\n", 2);
        rec->size += (int)len + 2;
        step->size += (int)len + 2;
        step->lines++;
        rec->lines++;
    }
    if (rec->count == 0) return Refuse(rec, err, errSize, "the record has no step marks");
    return 0;
}

int ReplayRecordLoad(const char* path, ReplayRecord* rec, char* err, size_t errSize) {
    memset(rec, 0, sizeof *rec);
    FILE* f = fopen(path, "rb");
    if (!f) return Refuse(rec, err, errSize, "cannot read %s", path);
    char* text = malloc(REPLAY_MAX_FILE + 1);
    size_t n = text ? fread(text, 1, REPLAY_MAX_FILE + 1, f) : 0;
    int readError = ferror(f);
    fclose(f);
    if (!text || readError) {
        free(text);
        return Refuse(rec, err, errSize, "cannot read %s", path);
    }
    int r = ReplayRecordParse(text, n, rec, err, errSize);
    free(text);
    return r;
}

void ReplayRecordFree(ReplayRecord* rec) {
    free(rec->whole);
    memset(rec, 0, sizeof *rec);
}

int ReplayStepMatches(const ReplayStep* step, const char* line) {
    size_t len = strlen(step->cmd);
    return !strncmp(line, "{Cmd:", 5) && !strncmp(line + 5, step->cmd, len) && line[5 + len] == '}';
}
