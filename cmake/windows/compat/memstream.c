#define QUARNEL_MEMSTREAM_IMPLEMENTATION
#include "memstream.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

struct memstream {
    FILE* file;
    char** buffer;
    size_t* size;
    struct memstream* next;
};

static struct memstream* open_streams;
static SRWLOCK lock = SRWLOCK_INIT;

/* Unlinks and returns the record of a stream opened here, or NULL for any other stream. */
static struct memstream* find(FILE* file, int unlink) {
    struct memstream** link = &open_streams;
    while (*link && (*link)->file != file)
        link = &(*link)->next;
    struct memstream* found = *link;
    if (found && unlink)
        *link = found->next;
    return found;
}

/* Copies the file's content into a fresh NUL-terminated buffer, keeping the write position. */
static int publish(struct memstream* stream) {
    if (fflush(stream->file) != 0)
        return EOF;
    long position = ftell(stream->file);
    if (position < 0 || fseek(stream->file, 0, SEEK_END) != 0)
        return EOF;
    long end = ftell(stream->file);
    char* copy = end >= 0 ? malloc((size_t)end + 1) : NULL;
    int ok = copy && fseek(stream->file, 0, SEEK_SET) == 0 &&
             fread(copy, 1, (size_t)end, stream->file) == (size_t)end;
    fseek(stream->file, position, SEEK_SET);
    if (!ok) {
        free(copy);
        return EOF;
    }
    copy[end] = '\0';
    free(*stream->buffer);
    *stream->buffer = copy;
    *stream->size = (size_t)position;
    return 0;
}

FILE* open_memstream(char** buffer, size_t* size) {
    wchar_t dir[MAX_PATH + 1], path[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, dir);
    if (length == 0 || length > MAX_PATH || GetTempFileNameW(dir, L"ms", 0, path) == 0) {
        errno = EIO;
        return NULL;
    }
    /* "D": deleted when closed, "T": kept in memory where the system can. */
    FILE* file = _wfopen(path, L"w+bTD");
    struct memstream* stream = file ? malloc(sizeof *stream) : NULL;
    if (!stream) {
        if (file)
            fclose(file);
        else
            DeleteFileW(path);
        errno = ENOMEM;
        return NULL;
    }
    *buffer = NULL;
    *size = 0;
    stream->file = file, stream->buffer = buffer, stream->size = size;
    AcquireSRWLockExclusive(&lock);
    stream->next = open_streams;
    open_streams = stream;
    ReleaseSRWLockExclusive(&lock);
    if (publish(stream) != 0) {
        quarnel_memstream_fclose(file);
        errno = EIO;
        return NULL;
    }
    return file;
}

int quarnel_memstream_fflush(FILE* file) {
    AcquireSRWLockShared(&lock);
    struct memstream* stream = file ? find(file, 0) : NULL;
    ReleaseSRWLockShared(&lock);
    return stream ? publish(stream) : fflush(file);
}

int quarnel_memstream_fclose(FILE* file) {
    AcquireSRWLockExclusive(&lock);
    struct memstream* stream = find(file, 1);
    ReleaseSRWLockExclusive(&lock);
    int result = stream ? publish(stream) : 0;
    free(stream);
    return fclose(file) != 0 ? EOF : result;
}
