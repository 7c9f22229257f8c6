/* Preloaded into the i386 Wine loader that scripts/run32.sh starts under qemu-user.
 *
 * qemu-user delivers SIGSEGV with trap number -1 in the signal context. Wine reads
 * that number to tell an access violation from other faults, so without help every
 * access violation comes out as an illegal instruction and guard pages, IsBadReadPtr
 * and structured exception handling of bad pointers break. This wraps the SIGSEGV
 * handler that Wine installs and puts the page-fault trap number (14) into the context
 * before Wine sees it.
 *
 * Built freestanding (-nostdlib): the i386 C library is only unpacked, not installed,
 * so there is nothing to link against at build time; dlsym and unsetenv resolve at
 * run time from the libc that the loader already has.
 */
#define SIG_SEGV 11
#define FLAG_SIGINFO 4
#define CODE_MAPERR 1
#define CODE_ACCERR 2
/* i386 ucontext_t: uc_flags, uc_link, uc_stack (3 words), then gregs[]; REG_TRAPNO is 12. */
#define TRAPNO_WORD (5 + 12)
#define PAGE_FAULT 14

struct kernel_sigaction {
    void *handler;
    unsigned int mask[32];
    int flags;
    void *restorer;
};

typedef void (*info_handler)(int, int *, int *);
extern void *dlsym(void *, const char *);
extern int unsetenv(const char *);

static info_handler wine_handler;
static int (*libc_sigaction)(int, const struct kernel_sigaction *, struct kernel_sigaction *);

static void with_trap_number(int sig, int *info, int *context)
{
    /* siginfo_t: si_signo, si_errno, si_code */
    if (info && context && (info[2] == CODE_MAPERR || info[2] == CODE_ACCERR) && context[TRAPNO_WORD] == -1)
        context[TRAPNO_WORD] = PAGE_FAULT;
    wine_handler(sig, info, context);
}

int sigaction(int sig, const struct kernel_sigaction *act, struct kernel_sigaction *old)
{
    if (!libc_sigaction) libc_sigaction = dlsym((void *)-1 /* RTLD_NEXT */, "sigaction");
    if (sig != SIG_SEGV || !act || !(act->flags & FLAG_SIGINFO) || act->handler == (void *)with_trap_number)
        return libc_sigaction(sig, act, old);
    struct kernel_sigaction wrapped = *act;
    info_handler previous = wine_handler;
    wine_handler = (info_handler)act->handler;
    wrapped.handler = (void *)with_trap_number;
    int result = libc_sigaction(sig, &wrapped, old);
    if (old && old->handler == (void *)with_trap_number) old->handler = (void *)previous;
    return result;
}

/* The preload and library path are for this i386 process only: native 64-bit programs
 * that it starts must not inherit them. Runs before Wine copies the environment. */
__attribute__((constructor)) static void forget_preload(void)
{
    unsetenv("LD_PRELOAD");
    unsetenv("LD_LIBRARY_PATH");
}
