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
 * It also checks what a real server would notice of a plug-in: that the
 * module leaves the process alone (the host's own first-chance exception
 * handler still sees every exception it should, and a module loaded again
 * starts afresh), and that callers whose compilers keep the stack only
 * 4-byte aligned get the same results as aligned ones, with the stack and
 * the callee-saved registers as the cdecl convention promises.
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
static char trace[2048]; /* the services called, in order, for comparing runs */

static void note_call(const char* service) {
    size_t used = strlen(trace);
    snprintf(trace + used, sizeof(trace) - used, "%s ", service);
}

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
    note_call("query");
    return item == 3 ? "mail.example.org" : NULL;
}

static int __cdecl extract_address(char* out, const char* text, int limit) {
    note_call("extract");
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
    note_call("test");
    (void)a;
    (void)b;
    return strchr(address, '@') != NULL;
}

static int __cdecl close_job(struct job* job) {
    note_call("close");
    check(job == &created, "only the created job is closed");
    job->closed++;
    return 1;
}

static int __cdecl rewind_job(struct job* job, int mode) {
    note_call("rewind");
    check(mode == 2, "rewind mode is 2");
    job->next_line = 0;
    return 1;
}

static int __cdecl release_job(struct job* job) {
    note_call("release");
    check(job == &created, "only the created job is released");
    job->released++;
    return 1;
}

static int __cdecl get_job_info(struct job* job, unsigned char* record) {
    note_call("info");
    memset(record, 0xA5, JOB_RECORD_BYTES);
    memcpy(record + JOB_RECORD_SENDER_AT, &job->sender, 4);
    return 1;
}

static struct job* __cdecl create_job(int kind, const char* sender, const char* options) {
    note_call("create");
    check(kind == 1 && strcmp(options, "0") == 0, "create job with kind 1 and options \"0\"");
    memset(&created, 0, sizeof(created));
    created.sender = sender;
    ++created_count;
    return &created;
}

static int __cdecl add_recipient(struct job* job, const char* address) {
    note_call("rcpt");
    if (job->recipient_count < 4) {
        job->recipients[job->recipient_count++] = address;
    }
    return 1;
}

static int __cdecl write_line(struct job* job, const char* text) {
    note_call("write");
    check(!job->closed && !job->released, "no writing after close or release");
    add_line(job->lines, &job->line_count, text);
    return 1;
}

static int __cdecl read_line(struct job* job, char* buffer, int size) {
    note_call("read");
    check(size == 10000, "line buffer of 10000 bytes");
    if (job->next_line >= job->line_count) {
        return 0;
    }
    strcpy(buffer, job->lines[job->next_line++]);
    return 1;
}

static const char* __cdecl next_recipient(struct job* job, int start, void* scratch) {
    note_call("next");
    check(start == 0, "recipient walk starts with 0");
    memset(scratch, 0xA5, JOB_RECORD_BYTES);
    if (job->next_recipient < job->recipient_count) {
        return job->recipients[job->next_recipient++];
    }
    return NULL;
}

static int __cdecl temp_file_name(int kind, char* buffer, int flags) {
    note_call("temp");
    check(kind == 7 && flags == 0, "temporary file name with 7, 0");
    strcpy(buffer, TEMP_PATH);
    return 1;
}

static int __cdecl write_job_to_file(struct job* job, const char* path, int mode) {
    note_call("tofile");
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
    note_call("open");
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
    note_call("closefile");
    file->open = 0;
    return 1;
}

static const char* __cdecl find_header(struct message_file* file, const char* name, char* buffer,
                                       int size) {
    note_call("find");
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
    note_call("log");
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

static const char* const configured_sender = "relay@example.org";
/* How a Message-ID ends that carries the configured sender's domain. */
#define SENDER_DOMAIN_END "@example.org>\r\n"
static HMODULE module;
static startup_function startup;
static daemon_function daemon;

/* Forgets what earlier calls left in the host's records. */
static void clear_records(void) {
    log_count = 0;
    created_count = 0;
    trace[0] = '\0';
    memset(&created, 0, sizeof(created));
}

static int load_module(const char* path) {
    module = LoadLibraryA(path);
    if (!module) {
        printf("FAIL: LoadLibrary(%s) failed with error %lu\n", path, GetLastError());
        return 0;
    }
    startup = (startup_function)(any_function)GetProcAddress(module, "STARTUP");
    daemon = (daemon_function)(any_function)GetProcAddress(module, "DAEMON");
    if (!startup || !daemon) {
        printf("FAIL: STARTUP or DAEMON not exported under its plain name\n");
        return 0;
    }
    return 1;
}

/* ---- the module's work, as an admin would check it ---- */

static void check_startup(void) {
    clear_records();
    check(startup(block, NULL, NULL, configured_sender) == 1, "STARTUP returns 1");
    check(log_count == 1 && log_codes[0] == 15 &&
              strcmp(logs[0], "Velmora daemon loaded successfully") == 0,
          "STARTUP logs that it loaded, with code 15");
}

static void check_ordinary_job(void) {
    clear_records();
    make_incoming("bob@example.org");
    check(daemon(&incoming, block, NULL, configured_sender) == 0,
          "DAEMON returns 0 for an ordinary job");
    check(log_count == 0 && created_count == 0, "an ordinary job logs nothing and creates nothing");
}

static void check_autoreply(void) {
    clear_records();
    make_incoming("<>");
    check(daemon(&incoming, block, NULL, configured_sender) == 1,
          "DAEMON returns 1 for an autoreply");
    check(log_count == 2, "two job log lines");
    check(log_codes[0] == 25 && strcmp(logs[0], "Autoreply from Bob <bob@example.org> found") == 0,
          "the found line, with code 25");
    check(log_codes[1] == 25 && strcmp(logs[1], "MAIL FROM in autoreply modified by daemon") == 0,
          "the modified line, with code 25");
    check(created_count == 1 && strcmp(created.sender, configured_sender) == 0,
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
}

/* ---- the process is left alone ---- */

/* Debuggers and tools name threads by raising this exception; a process
   that loads a plug-in must still see every one of them itself. */
#define THREAD_NAME_EXCEPTION 0x406D1388u

static volatile LONG thread_names_seen;

static LONG CALLBACK watch_thread_names(EXCEPTION_POINTERS* info) {
    if (info->ExceptionRecord->ExceptionCode == THREAD_NAME_EXCEPTION) {
        InterlockedIncrement(&thread_names_seen);
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

/* Names this thread the way tools do and checks that our own first-chance
   handler saw it. */
static void check_thread_name_reaches_us(const char* when) {
    ULONG_PTR info[4];
    const LONG before = thread_names_seen;
    char what[MAX_TEXT];
    info[0] = 0x1000;                     /* the record's type */
    info[1] = (ULONG_PTR) "foreign-host"; /* the name */
    info[2] = (ULONG_PTR)-1;              /* this thread */
    info[3] = 0;                          /* flags */
    RaiseException(THREAD_NAME_EXCEPTION, 0, 4, info);
    snprintf(what, sizeof(what), "the host's own exception handler sees a thread name %s", when);
    check(thread_names_seen == before + 1, what);
}

/* A module loaded afresh knows no domain until STARTUP tells it one: its
   Message-IDs then carry the configured sender's domain. */
static void check_fresh_load(const char* path) {
    const char* line;
    size_t length;
    FreeLibrary(module);
    if (!load_module(path)) {
        ++failures;
        return;
    }
    check_thread_name_reaches_us("after loading the module again");
    clear_records();
    make_incoming("<>");
    check(daemon(&incoming, block, NULL, configured_sender) == 1,
          "DAEMON works before STARTUP after a reload");
    line = created.lines[0];
    length = strlen(line);
    check(created.line_count > 0 && strncmp(line, "Message-ID: <ar", 15) == 0 &&
              length >= strlen(SENDER_DOMAIN_END) &&
              strcmp(line + length - strlen(SENDER_DOMAIN_END), SENDER_DOMAIN_END) == 0,
          "a reloaded module starts without the server's domain");
    check_startup();
    check_autoreply();
}

/* ---- callers that keep only 4-byte stack alignment ---- */

/* misaligned_call() calls thunk_function with the four thunk_args, cdecl,
   with the stack pointer thunk_offset bytes below a 16-byte boundary at the
   call, and with known values in the registers the callee must keep. It
   records the result, the stack pointer before and after the call and the
   kept registers. Plain globals, so that the assembly needs no frame. */
uint32_t thunk_function;
uint32_t thunk_args[4];
uint32_t thunk_offset;
uint32_t thunk_result;
uint32_t thunk_esp_before;
uint32_t thunk_esp_after;
uint32_t thunk_saved_esp;
uint32_t thunk_kept[4]; /* EBX, ESI, EDI, EBP after the call */

#define KEPT_EBX 0x0B0B0B0Bu
#define KEPT_ESI 0x05050505u
#define KEPT_EDI 0x0D0D0D0Du
#define KEPT_EBP 0x0E0E0E0Eu

void misaligned_call(void);
__asm__(".text\n"
        ".globl _misaligned_call\n"
        "_misaligned_call:\n"
        "    pushl %ebp\n"
        "    pushl %ebx\n"
        "    pushl %esi\n"
        "    pushl %edi\n"
        "    movl %esp, _thunk_saved_esp\n"
        "    andl $-16, %esp\n"
        "    subl _thunk_offset, %esp\n"
        "    pushl _thunk_args+12\n"
        "    pushl _thunk_args+8\n"
        "    pushl _thunk_args+4\n"
        "    pushl _thunk_args\n"
        "    movl $0x0B0B0B0B, %ebx\n"
        "    movl $0x05050505, %esi\n"
        "    movl $0x0D0D0D0D, %edi\n"
        "    movl $0x0E0E0E0E, %ebp\n"
        "    movl %esp, _thunk_esp_before\n"
        "    call *_thunk_function\n"
        "    movl %esp, _thunk_esp_after\n"
        "    movl %eax, _thunk_result\n"
        "    movl %ebx, _thunk_kept\n"
        "    movl %esi, _thunk_kept+4\n"
        "    movl %edi, _thunk_kept+8\n"
        "    movl %ebp, _thunk_kept+12\n"
        "    movl _thunk_saved_esp, %esp\n"
        "    popl %edi\n"
        "    popl %esi\n"
        "    popl %ebx\n"
        "    popl %ebp\n"
        "    ret\n");

/* What one call did, for comparing an aligned call with misaligned ones. */
struct call_outcome {
    uint32_t result;
    char trace[sizeof(trace)];
    char logs[8][MAX_TEXT];
    int log_count;
    char lines[MAX_LINES][MAX_TEXT];
    int line_count;
};

static void call_through_thunk(any_function function, void* a, void* b, void* c, const void* d,
                               uint32_t offset, uint32_t result_mask,
                               struct call_outcome* outcome) {
    char what[MAX_TEXT];
    int i;
    clear_records();
    memcpy(&thunk_function, &function, sizeof(thunk_function));
    thunk_args[0] = (uint32_t)(uintptr_t)a;
    thunk_args[1] = (uint32_t)(uintptr_t)b;
    thunk_args[2] = (uint32_t)(uintptr_t)c;
    thunk_args[3] = (uint32_t)(uintptr_t)d;
    thunk_offset = offset;
    misaligned_call();

    snprintf(what, sizeof(what),
             "stack %u bytes off: the callee leaves the arguments to the caller", (unsigned)offset);
    check(thunk_esp_after == thunk_esp_before, what);
    snprintf(what, sizeof(what), "stack %u bytes off: EBX, ESI, EDI and EBP kept",
             (unsigned)offset);
    check(thunk_kept[0] == KEPT_EBX && thunk_kept[1] == KEPT_ESI && thunk_kept[2] == KEPT_EDI &&
              thunk_kept[3] == KEPT_EBP,
          what);

    memset(outcome, 0, sizeof(*outcome));
    outcome->result = thunk_result & result_mask;
    memcpy(outcome->trace, trace, sizeof(trace));
    outcome->log_count = log_count;
    for (i = 0; i < log_count; ++i) {
        memcpy(outcome->logs[i], logs[i], MAX_TEXT);
    }
    outcome->line_count = created.line_count;
    for (i = 0; i < created.line_count; ++i) {
        /* The Message-ID's number is the clock: only its form is compared. */
        if (i == 0 && is_new_message_id(created.lines[0])) {
            snprintf(outcome->lines[0], MAX_TEXT, "(new Message-ID)");
        } else {
            memcpy(outcome->lines[i], created.lines[i], MAX_TEXT);
        }
    }
}

static int same_outcome(const struct call_outcome* a, const struct call_outcome* b) {
    int i;
    if (a->result != b->result || strcmp(a->trace, b->trace) != 0 || a->log_count != b->log_count ||
        a->line_count != b->line_count) {
        return 0;
    }
    for (i = 0; i < a->log_count; ++i) {
        if (strcmp(a->logs[i], b->logs[i]) != 0) {
            return 0;
        }
    }
    for (i = 0; i < a->line_count; ++i) {
        if (strcmp(a->lines[i], b->lines[i]) != 0) {
            return 0;
        }
    }
    return 1;
}

static void check_misaligned_callers(void) {
    static const uint32_t offsets[] = {4, 8, 12};
    static struct call_outcome aligned_startup, aligned_daemon, startup_outcome, daemon_outcome;
    char what[MAX_TEXT];
    size_t i;

    call_through_thunk((any_function)startup, block, NULL, NULL, configured_sender, 0, 0xFFu,
                       &aligned_startup);
    make_incoming("<>");
    call_through_thunk((any_function)daemon, &incoming, block, NULL, configured_sender, 0,
                       0xFFFFFFFFu, &aligned_daemon);
    check(aligned_startup.result == 1 && aligned_daemon.result == 1 &&
              aligned_daemon.line_count == 5,
          "aligned calls through the thunk work");

    for (i = 0; i < sizeof(offsets) / sizeof(offsets[0]); ++i) {
        call_through_thunk((any_function)startup, block, NULL, NULL, configured_sender, offsets[i],
                           0xFFu, &startup_outcome);
        snprintf(what, sizeof(what), "STARTUP with the stack %u bytes off does as when aligned",
                 (unsigned)offsets[i]);
        check(same_outcome(&startup_outcome, &aligned_startup), what);

        make_incoming("<>");
        call_through_thunk((any_function)daemon, &incoming, block, NULL, configured_sender,
                           offsets[i], 0xFFFFFFFFu, &daemon_outcome);
        snprintf(what, sizeof(what), "DAEMON with the stack %u bytes off does as when aligned",
                 (unsigned)offsets[i]);
        check(same_outcome(&daemon_outcome, &aligned_daemon), what);
    }
}

int main(int argc, char** argv) {
    PVOID watcher;

    if (argc != 2) {
        printf("usage: foreign_host PATH-TO-velmora.dll\n");
        return 2;
    }
    /* Like a server with a debugger-friendly build: our handler comes first. */
    watcher = AddVectoredExceptionHandler(1, watch_thread_names);
    check(watcher != NULL, "the host's exception handler installed");
    check_thread_name_reaches_us("before loading the module");

    if (!load_module(argv[1])) {
        return 1;
    }
    build_block();
    check_thread_name_reaches_us("after loading the module");

    check_startup();
    check_ordinary_job();
    check_autoreply();
    check_autoreply();
    check_thread_name_reaches_us("after DAEMON calls");

    check_misaligned_callers();
    check_fresh_load(argv[1]);
    check_thread_name_reaches_us("at the end");

    FreeLibrary(module);
    RemoveVectoredExceptionHandler(watcher);
    if (failures == 0) {
        printf("foreign host: all checks passed\n");
    }
    return failures == 0 ? 0 : 1;
}
