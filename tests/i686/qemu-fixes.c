/*
 * Preloaded into every 32-bit Wine process that runs under qemu-i386 (user
 * mode, 7.2): mends three faults of the emulator that 32-bit Wine trips over.
 *
 * 1. MAP_FIXED_NOREPLACE is taken as a plain hint, so Wine's reservation of
 *    its address space falls back to 64 KiB pieces and a start takes about a
 *    minute. mmap emulates the flag: map at the hint, and when the mapping
 *    landed elsewhere, undo it and fail with EEXIST.
 * 2. Signal frames carry trapno -1, which Wine's fault handler takes for an
 *    unknown trap (every page fault becomes an illegal instruction). The
 *    handlers Wine installs for fault signals are wrapped; the wrapper rebuilds
 *    trapno from the signal and its si_code first.
 * 3. All guest threads share one GDT, so the TLS selector in %gs points at the
 *    newest thread's block as soon as it is reloaded (Wine reloads it on every
 *    system call and signal). Each thread gets its own LDT entry for %gs,
 *    taken at the top of the LDT, and Wine's request for a GDT slot for %fs
 *    is refused so that Wine uses LDT entries for %fs too.
 *    glibc gives a new thread its TLS through the GDT entry that the creating
 *    thread's %gs names, so a thread is created from the GDT selector (its
 *    entry pointed at the creator's own block for the while), one creation at
 *    a time and with signals blocked until the new thread has its own entry.
 *    Created from an LDT selector, the new thread would run on its creator's
 *    TLS (errno, the stack guard, glibc's unwind buffer: "stack smashing
 *    detected", wine client errors, stray guard page faults).
 *
 * Built freestanding with the host compiler (-m32 -nostdlib): the few C
 * library calls it needs are bound at run time from the process's own libc.
 */

typedef unsigned int size_t;
typedef int pid_t;

#define RTLD_NEXT ((void *)-1l)
#define MAP_FAILED ((void *)-1)
#define MAP_FIXED 0x10
#define MAP_FIXED_NOREPLACE 0x100000
#define EEXIST 17
#define ENOSYS 38
#define SA_SIGINFO 4

#define SIGILL 4
#define SIGTRAP 5
#define SIGBUS 7
#define SIGFPE 8
#define SIGSEGV 11

#define SYS_modify_ldt 123
#define SYS_set_thread_area 243

/* x86 trap numbers as the kernel's sigcontext reports them */
#define TRAP_DIVIDE 0
#define TRAP_TRACE 1
#define TRAP_BREAKPOINT 3
#define TRAP_OVERFLOW 4
#define TRAP_ILLEGAL 6
#define TRAP_PROTECTION 13
#define TRAP_PAGE_FAULT 14
#define TRAP_FPU 16
#define TRAP_ALIGNMENT 17

/* si_code values */
#define SI_KERNEL 0x80
#define FPE_INTDIV 1
#define FPE_INTOVF 2
#define TRAP_BRKPT 1
#define TRAP_TRACE_CODE 2
#define BUS_ADRALN 1

extern void *dlsym(void *handle, const char *name);
extern int *__errno_location(void);
extern void *malloc(size_t size);
extern void free(void *p);

typedef struct {
    int si_signo;
    int si_errno;
    int si_code;
} siginfo_head;

/* glibc's struct sigaction on i386 */
struct libc_sigaction {
    void *handler;
    unsigned long mask[32];
    int flags;
    void (*restorer)(void);
};

/* the kernel's i386 ucontext: uc_flags, uc_link, uc_stack (12 bytes), then
   the general registers; trapno is register 12 */
#define UC_GREGS_OFFSET 20
#define REG_TRAPNO 12

struct user_desc {
    unsigned int entry_number;
    unsigned int base_addr;
    unsigned int limit;
    unsigned int flags; /* seg_32bit:1 contents:2 read_exec_only:1 limit_in_pages:1 seg_not_present:1 useable:1 */
};

typedef void (*info_handler)(int, siginfo_head *, void *);

static void *(*real_mmap)(void *, size_t, int, int, int, long);
static void *(*real_mmap64)(void *, size_t, int, int, int, long long);
static int (*real_munmap)(void *, size_t);
static int (*real_sigaction)(int, const struct libc_sigaction *, struct libc_sigaction *);
static long (*real_syscall)(long, long, long, long, long, long, long);
static int (*real_pthread_create)(void *, const void *, void *(*)(void *), void *);

static info_handler wine_handlers[65];

static void bind_libc(void)
{
    if (real_mmap)
        return;
    real_mmap64 = dlsym(RTLD_NEXT, "mmap64");
    real_munmap = dlsym(RTLD_NEXT, "munmap");
    real_sigaction = dlsym(RTLD_NEXT, "sigaction");
    real_syscall = dlsym(RTLD_NEXT, "syscall");
    real_pthread_create = dlsym(RTLD_NEXT, "pthread_create");
    real_mmap = dlsym(RTLD_NEXT, "mmap");
}

static long raw_syscall3(long n, long a, long b, long c)
{
    long res;
    __asm__ __volatile__("pushl %%ebx\n\t"
                         "movl %2,%%ebx\n\t"
                         "int $0x80\n\t"
                         "popl %%ebx"
                         : "=a"(res)
                         : "0"(n), "r"(a), "c"(b), "d"(c)
                         : "memory");
    return res;
}

/* ---- 1: MAP_FIXED_NOREPLACE ---- */

static void *noreplace_result(void *want, void *got, size_t len)
{
    if (got == MAP_FAILED || got == want)
        return got;
    real_munmap(got, len);
    *__errno_location() = EEXIST;
    return MAP_FAILED;
}

void *mmap64(void *addr, size_t len, int prot, int flags, int fd, long long off)
{
    bind_libc();
    if ((flags & MAP_FIXED_NOREPLACE) && !(flags & MAP_FIXED)) {
        void *got = real_mmap64(addr, len, prot, flags & ~MAP_FIXED_NOREPLACE, fd, off);
        return noreplace_result(addr, got, len);
    }
    return real_mmap64(addr, len, prot, flags, fd, off);
}

void *mmap(void *addr, size_t len, int prot, int flags, int fd, long off)
{
    bind_libc();
    if ((flags & MAP_FIXED_NOREPLACE) && !(flags & MAP_FIXED)) {
        void *got = real_mmap(addr, len, prot, flags & ~MAP_FIXED_NOREPLACE, fd, off);
        return noreplace_result(addr, got, len);
    }
    return real_mmap(addr, len, prot, flags, fd, off);
}

/* ---- 2: trapno in fault signal frames ---- */

static int trap_of(int sig, int code)
{
    switch (sig) {
    case SIGSEGV:
        return code == SI_KERNEL ? TRAP_PROTECTION : TRAP_PAGE_FAULT;
    case SIGILL:
        return TRAP_ILLEGAL;
    case SIGBUS:
        return code == BUS_ADRALN ? TRAP_ALIGNMENT : TRAP_PROTECTION;
    case SIGFPE:
        if (code == FPE_INTDIV)
            return TRAP_DIVIDE;
        return code == FPE_INTOVF ? TRAP_OVERFLOW : TRAP_FPU;
    case SIGTRAP:
        return code == TRAP_TRACE_CODE ? TRAP_TRACE : TRAP_BREAKPOINT;
    }
    return -1;
}

__attribute__((force_align_arg_pointer)) static void fault_wrapper(int sig, siginfo_head *info, void *uc)
{
    int *gregs = (int *)((char *)uc + UC_GREGS_OFFSET);
    if (gregs[REG_TRAPNO] == -1 && info)
        gregs[REG_TRAPNO] = trap_of(sig, info->si_code);
    if (sig > 0 && sig < 65 && wine_handlers[sig])
        wine_handlers[sig](sig, info, uc);
}

static int is_fault_signal(int sig)
{
    return sig == SIGSEGV || sig == SIGILL || sig == SIGBUS || sig == SIGFPE || sig == SIGTRAP;
}

int sigaction(int sig, const struct libc_sigaction *act, struct libc_sigaction *old)
{
    bind_libc();
    if (!is_fault_signal(sig))
        return real_sigaction(sig, act, old);
    info_handler previous = wine_handlers[sig];
    int res;
    if (act && (act->flags & SA_SIGINFO) && act->handler) {
        struct libc_sigaction wrapped = *act;
        wrapped.handler = (void *)fault_wrapper;
        res = real_sigaction(sig, &wrapped, old);
        if (res == 0)
            wine_handlers[sig] = (info_handler)act->handler;
    } else {
        res = real_sigaction(sig, act, old);
        if (res == 0 && act)
            wine_handlers[sig] = 0;
    }
    /* The caller sees its own handler, not the wrapper. */
    if (res == 0 && old && old->handler == (void *)fault_wrapper)
        old->handler = (void *)previous;
    return res;
}

int __sigaction(int sig, const struct libc_sigaction *act, struct libc_sigaction *old)
{
    return sigaction(sig, act, old);
}

/* ---- 3: a %gs selector of each thread's own ---- */

#define LDT_TOP 8191
#define LDT_OWN_ENTRIES 4096

static volatile unsigned int next_ldt_slot;
/* The GDT selector glibc gave the first thread (0 if none). */
static unsigned short gdt_gs_selector;
static volatile int create_lock;

#define SYS_rt_sigprocmask 175
#define SYS_sched_yield 158
#define SIG_BLOCK 0
#define SIG_SETMASK 2

struct kernel_sigset {
    unsigned int bits[2];
};

static unsigned short current_gs(void)
{
    unsigned short selector;
    __asm__ __volatile__("movw %%gs,%0" : "=r"(selector));
    return selector;
}

static void load_gs(unsigned short selector)
{
    __asm__ __volatile__("movw %0,%%gs" : : "r"(selector) : "memory");
}

static unsigned int tls_base(void)
{
    unsigned int base;
    __asm__ __volatile__("movl %%gs:0,%0" : "=r"(base));
    return base;
}

static void set_tls_entry(struct user_desc *desc, unsigned int entry, unsigned int base)
{
    desc->entry_number = entry;
    desc->base_addr = base;
    desc->limit = 0xfffff;
    desc->flags = 1 | (1 << 4) | (1 << 6); /* 32-bit, limit in pages, usable */
}

static void use_own_gs(void)
{
    /* Entries are handed out from the top down and come round again after
       4096 threads: by then their first owners have long ended. */
    unsigned int n = __sync_fetch_and_add(&next_ldt_slot, 1) % LDT_OWN_ENTRIES;
    struct user_desc desc;
    set_tls_entry(&desc, LDT_TOP - n, tls_base());
    if (raw_syscall3(SYS_modify_ldt, 0x11, (long)&desc, sizeof desc) != 0)
        return;
    load_gs((unsigned short)((desc.entry_number << 3) | 7));
}

static long sigprocmask8(int how, const struct kernel_sigset *set, struct kernel_sigset *old)
{
    long res;
    __asm__ __volatile__("pushl %%ebx\n\t"
                         "movl %2,%%ebx\n\t"
                         "int $0x80\n\t"
                         "popl %%ebx"
                         : "=a"(res)
                         : "0"(SYS_rt_sigprocmask), "r"((long)how), "c"(set), "d"(old), "S"(8)
                         : "memory");
    return res;
}

struct thread_start {
    void *(*fn)(void *);
    void *arg;
    struct kernel_sigset mask; /* the creator's, restored once %gs is the thread's own */
};

static void *thread_trampoline(void *p)
{
    struct thread_start start = *(struct thread_start *)p;
    use_own_gs();
    sigprocmask8(SIG_SETMASK, &start.mask, 0);
    free(p);
    return start.fn(start.arg);
}

int pthread_create(void *thread, const void *attr, void *(*fn)(void *), void *arg)
{
    bind_libc();
    struct thread_start *start = malloc(sizeof *start);
    if (!start)
        return real_pthread_create(thread, attr, fn, arg);
    start->fn = fn;
    start->arg = arg;
    unsigned short own = current_gs();
    if (!gdt_gs_selector || own == gdt_gs_selector) {
        /* Nothing moved off the GDT: glibc's own way works. */
        sigprocmask8(SIG_BLOCK, 0, &start->mask);
        int res = real_pthread_create(thread, attr, thread_trampoline, start);
        if (res != 0)
            free(start);
        return res;
    }
    /* No signal may reload %gs from the GDT while it names another thread's
       block, in this thread or in the new one before it has its own entry. */
    struct kernel_sigset all = {{0xffffffffu, 0xffffffffu}};
    struct kernel_sigset mask;
    sigprocmask8(SIG_BLOCK, &all, &mask);
    start->mask = mask;
    while (__sync_lock_test_and_set(&create_lock, 1))
        raw_syscall3(SYS_sched_yield, 0, 0, 0);
    struct user_desc desc;
    set_tls_entry(&desc, gdt_gs_selector >> 3, tls_base());
    int res;
    if (raw_syscall3(SYS_set_thread_area, (long)&desc, 0, 0) == 0) {
        load_gs(gdt_gs_selector);
        res = real_pthread_create(thread, attr, thread_trampoline, start);
        load_gs(own);
    } else {
        res = real_pthread_create(thread, attr, thread_trampoline, start);
    }
    __sync_lock_release(&create_lock);
    if (res != 0)
        free(start);
    sigprocmask8(SIG_SETMASK, &mask, 0);
    return res;
}

long syscall(long n, long a, long b, long c, long d, long e, long f)
{
    bind_libc();
    if (n == SYS_set_thread_area && a && ((struct user_desc *)a)->entry_number == 0xffffffffu) {
        *__errno_location() = ENOSYS;
        return -1;
    }
    return real_syscall(n, a, b, c, d, e, f);
}

__attribute__((constructor)) static void qemu_fixes_init(void)
{
    bind_libc();
    unsigned short selector = current_gs();
    if (selector && !(selector & 4))
        gdt_gs_selector = selector;
    use_own_gs();
}
