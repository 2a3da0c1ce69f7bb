/*
 * A small 32-bit Windows host written apart from the module's own code: it
 * shares no header with it and lays out the service block by hand, byte by
 * byte, as the mail server does (version bytes at 4 and 5, service k at
 * byte 10 + 4k, the envelope sender pointer at bytes 10-13 of a 122-byte
 * job record). It loads velmora.dll with LoadLibrary, finds STARTUP and
 * DAEMON with GetProcAddress, calls them with cdecl, and checks what an
 * admin would see: the log lines, the results, the re-sent message, and
 * that the temporary copy of the mail is gone.
 *
 *   foreign_host.exe PATH-TO-velmora.dll
 *
 * Prints one line per failed check and exits 1 if there was any.
 */
#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#define BLOCK_BYTES 400
#define JOB_RECORD_BYTES 122
#define JOB_RECORD_SENDER_AT 10
#define MAX_LINES 32
#define MAX_TEXT 300
#define TEMP_PATH "foreign-host-copy.tmp"

struct job {
    const char* sender;
    const char* recipients[4];
    int recipient_count;
    int next_recipient;
    char lines[MAX_LINES][MAX_TEXT];
    int line_count;
    int next_line;
    int closed;
    int released;
};

struct message_file {
    char lines[MAX_LINES][MAX_TEXT];
    int line_count;
    int open;
};

static unsigned char block[BLOCK_BYTES];
static struct job incoming;
static struct job created;
static int created_count;
static struct message_file message;
static char logs[8][MAX_TEXT];
static int log_codes[8];
static int log_count;
static int failures;

static void check(int ok, const char* what) {
    if (!ok) {
        printf("FAIL: %s\n", what);
        ++failures;
    }
}

static void add_line(char lines[][MAX_TEXT], int* count, const char* text) {
    if (*count < MAX_LINES) {
        snprintf(lines[*count], MAX_TEXT, "%s", text);
        ++*count;
    }
}

/* ---- the services, cdecl, as the mail server offers them ---- */

static const char* __cdecl query_string(int item) {
    return item == 3 ? "mail.example.org" : NULL;
}

static int __cdecl extract_address(char* out, const char* text, int limit) {
    const char* open = strchr(text, '<');
    const char* close = open ? strchr(open, '>') : NULL;
    int length;
    if (open && close) {
        text = open + 1;
        length = (int)(close - text);
    } else {
        length = (int)strlen(text);
    }
    if (length > limit) {
        length = limit;
    }
    memcpy(out, text, (size_t)length);
    out[length] = '\0';
    return strchr(out, '@') != NULL;
}

static uint32_t __cdecl test_address(const char* address, char* a, char* b) {
    (void)a;
    (void)b;
    return strchr(address, '@') != NULL;
}

static int __cdecl close_job(struct job* job) {
    check(job == &created, "only the created job is closed");
    job->closed++;
    return 1;
}

static int __cdecl rewind_job(struct job* job, int mode) {
    check(mode == 2, "rewind mode is 2");
    job->next_line = 0;
    return 1;
}

static int __cdecl release_job(struct job* job) {
    check(job == &created, "only the created job is released");
    job->released++;
    return 1;
}

static int __cdecl get_job_info(struct job* job, unsigned char* record) {
    memset(record, 0xA5, JOB_RECORD_BYTES);
    memcpy(record + JOB_RECORD_SENDER_AT, &job->sender, 4);
    return 1;
}

static struct job* __cdecl create_job(int kind, const char* sender, const char* options) {
    check(kind == 1 && strcmp(options, "0") == 0, "create job with kind 1 and options \"0\"");
    memset(&created, 0, sizeof(created));
    created.sender = sender;
    ++created_count;
    return &created;
}

static int __cdecl add_recipient(struct job* job, const char* address) {
    if (job->recipient_count < 4) {
        job->recipients[job->recipient_count++] = address;
    }
    return 1;
}

static int __cdecl write_line(struct job* job, const char* text) {
    check(!job->closed && !job->released, "no writing after close or release");
    add_line(job->lines, &job->line_count, text);
    return 1;
}

static int __cdecl read_line(struct job* job, char* buffer, int size) {
    check(size == 10000, "line buffer of 10000 bytes");
    if (job->next_line >= job->line_count) {
        return 0;
    }
    strcpy(buffer, job->lines[job->next_line++]);
    return 1;
}

static const char* __cdecl next_recipient(struct job* job, int start, void* scratch) {
    check(start == 0, "recipient walk starts with 0");
    memset(scratch, 0xA5, JOB_RECORD_BYTES);
    if (job->next_recipient < job->recipient_count) {
        return job->recipients[job->next_recipient++];
    }
    return NULL;
}

static int __cdecl temp_file_name(int kind, char* buffer, int flags) {
    check(kind == 7 && flags == 0, "temporary file name with 7, 0");
    strcpy(buffer, TEMP_PATH);
    return 1;
}

static int __cdecl write_job_to_file(struct job* job, const char* path, int mode) {
    FILE* file = fopen(path, "wb");
    int i;
    check(mode == 16, "job written to file with mode 16");
    if (!file) {
        return 0;
    }
    for (i = 0; i < job->line_count; ++i) {
        fputs(job->lines[i], file);
    }
    fclose(file);
    return 1;
}

static struct message_file* __cdecl open_message_file(const char* path, int flags) {
    FILE* file = fopen(path, "rb");
    char line[MAX_TEXT];
    check(flags == 0, "message file opened with flags 0");
    if (!file) {
        return NULL;
    }
    memset(&message, 0, sizeof(message));
    while (fgets(line, sizeof(line), file)) {
        add_line(message.lines, &message.line_count, line);
    }
    fclose(file);
    message.open = 1;
    return &message;
}

static int __cdecl close_message_file(struct message_file* file) {
    file->open = 0;
    return 1;
}

static const char* __cdecl find_header(struct message_file* file, const char* name, char* buffer,
                                       int size) {
    size_t length = strlen(name);
    int i;
    check(size == 256, "header buffer of 256 bytes");
    for (i = 0; i < file->line_count; ++i) {
        const char* line = file->lines[i];
        if (strncmp(line, name, length) == 0 && line[length] == ':') {
            const char* value = line + length + 1;
            size_t end;
            while (*value == ' ') {
                ++value;
            }
            end = strcspn(value, "\r\n");
            memcpy(buffer, value, end);
            buffer[end] = '\0';
            return buffer;
        }
    }
    return NULL;
}

static int __cdecl log_line(int facility, int code, const char* text) {
    check(facility == 10, "log facility 10");
    if (log_count < 8) {
        log_codes[log_count] = code;
        snprintf(logs[log_count++], MAX_TEXT, "%s", text);
    }
    return 1;
}

typedef void (*any_function)(void);

static void put_service(int offset, any_function function) {
    memcpy(block + offset, &function, 4);
}

static void build_block(void) {
    memset(block, 0, sizeof(block));
    block[4] = 2;
    block[5] = 20;
    put_service(10, (any_function)query_string);
    put_service(14, (any_function)test_address);
    put_service(22, (any_function)extract_address);
    put_service(42, (any_function)test_address);
    put_service(78, (any_function)close_job);
    put_service(82, (any_function)rewind_job);
    put_service(86, (any_function)release_job);
    put_service(102, (any_function)get_job_info);
    put_service(106, (any_function)create_job);
    put_service(110, (any_function)add_recipient);
    put_service(114, (any_function)write_line);
    put_service(118, (any_function)read_line);
    put_service(122, (any_function)next_recipient);
    put_service(198, (any_function)temp_file_name);
    put_service(214, (any_function)open_message_file);
    put_service(222, (any_function)close_message_file);
    put_service(254, (any_function)find_header);
    put_service(258, (any_function)write_job_to_file);
    put_service(358, (any_function)log_line);
}

static void make_incoming(const char* sender) {
    static const char* const lines[] = {
        "From: Bob <bob@example.org>\r\n",
        "Message-ID: <old@example.org>\r\n",
        "X-Autoreply-From: Bob <bob@example.org>\r\n",
        "\r\n",
        "I am away.\r\n",
    };
    size_t i;
    memset(&incoming, 0, sizeof(incoming));
    incoming.sender = sender;
    incoming.recipients[0] = "alice@example.net";
    incoming.recipients[1] = "carol@example.net";
    incoming.recipient_count = 2;
    for (i = 0; i < sizeof(lines) / sizeof(lines[0]); ++i) {
        add_line(incoming.lines, &incoming.line_count, lines[i]);
    }
}

/* True when `line` is "Message-ID: <ar" digits "@mail.example.org>\r\n". */
static int is_new_message_id(const char* line) {
    const char* prefix = "Message-ID: <ar";
    const char* suffix = "@mail.example.org>\r\n";
    const char* digits = line + strlen(prefix);
    const char* end = digits;
    if (strncmp(line, prefix, strlen(prefix)) != 0) {
        return 0;
    }
    while (*end >= '0' && *end <= '9') {
        ++end;
    }
    return end > digits && strcmp(end, suffix) == 0;
}

typedef unsigned char(__cdecl* startup_function)(void*, void*, void*, const char*);
typedef int(__cdecl* daemon_function)(void*, void*, void*, const char*);

int main(int argc, char** argv) {
    HMODULE module;
    startup_function startup;
    daemon_function daemon;
    const char* sender = "relay@example.org";

    if (argc != 2) {
        printf("usage: foreign_host PATH-TO-velmora.dll\n");
        return 2;
    }
    module = LoadLibraryA(argv[1]);
    if (!module) {
        printf("FAIL: LoadLibrary(%s) failed with error %lu\n", argv[1], GetLastError());
        return 1;
    }
    startup = (startup_function)(any_function)GetProcAddress(module, "STARTUP");
    daemon = (daemon_function)(any_function)GetProcAddress(module, "DAEMON");
    if (!startup || !daemon) {
        printf("FAIL: STARTUP or DAEMON not exported under its plain name\n");
        return 1;
    }
    build_block();

    check(startup(block, NULL, NULL, sender) == 1, "STARTUP returns 1");
    check(log_count == 1 && log_codes[0] == 15 &&
              strcmp(logs[0], "Velmora daemon loaded successfully") == 0,
          "STARTUP logs that it loaded, with code 15");

    /* An ordinary job is left alone, silently. */
    make_incoming("bob@example.org");
    check(daemon(&incoming, block, NULL, sender) == 0, "DAEMON returns 0 for an ordinary job");
    check(log_count == 1 && created_count == 0, "an ordinary job logs nothing and creates nothing");

    /* An automatic reply is re-sent under the configured sender. */
    make_incoming("<>");
    check(daemon(&incoming, block, NULL, sender) == 1, "DAEMON returns 1 for an autoreply");
    check(log_count == 3, "two job log lines");
    check(log_codes[1] == 25 && strcmp(logs[1], "Autoreply from Bob <bob@example.org> found") == 0,
          "the found line, with code 25");
    check(log_codes[2] == 25 && strcmp(logs[2], "MAIL FROM in autoreply modified by daemon") == 0,
          "the modified line, with code 25");
    check(created_count == 1 && strcmp(created.sender, sender) == 0,
          "one new job, from the configured sender");
    check(created.recipient_count == 2 && strcmp(created.recipients[0], "alice@example.net") == 0 &&
              strcmp(created.recipients[1], "carol@example.net") == 0,
          "recipients copied in order");
    check(created.line_count == 5 && is_new_message_id(created.lines[0]),
          "a new Message-ID line comes first");
    check(created.line_count == 5 && strcmp(created.lines[1], incoming.lines[0]) == 0 &&
              strcmp(created.lines[2], incoming.lines[2]) == 0 &&
              strcmp(created.lines[3], incoming.lines[3]) == 0 &&
              strcmp(created.lines[4], incoming.lines[4]) == 0,
          "every other line copied, the old Message-ID left out");
    check(created.closed == 1 && created.released == 1, "the new job closed and released once");
    check(incoming.closed == 0 && incoming.released == 0, "the incoming job left to the host");
    check(!message.open, "the message file closed");
    check(GetFileAttributesA(TEMP_PATH) == INVALID_FILE_ATTRIBUTES, "the temporary copy deleted");

    FreeLibrary(module);
    if (failures == 0) {
        printf("foreign host: all checks passed\n");
    }
    return failures == 0 ? 0 : 1;
}
