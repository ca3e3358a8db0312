/* Runs a program and writes what it cost: its exit status, wall time, CPU
 * time and peak resident memory. A process that replaces itself with a
 * program keeps the peak memory it had before, so the program runs in a
 * child of this small process, never of a large one.
 *
 *   bench_launch RESULT FOLDER LOG PROGRAM [ARGUMENTS...]
 *
 * RESULT gets one line "status wall_seconds cpu_seconds peak_kib"; status is
 * the exit status, or 128 + the signal that ended the program, or 127 when it
 * could not be started. The program runs in FOLDER with its output in LOG. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double Now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

int main(int argc, char** argv) {
  if (argc < 5) {
    fprintf(stderr, "usage: bench_launch RESULT FOLDER LOG PROGRAM [ARGUMENTS...]\n");
    return 2;
  }
  const double start = Now();
  const pid_t pid = fork();
  if (pid < 0) return 1;
  if (pid == 0) {
    const int log = open(argv[3], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int none = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (log < 0 || none < 0 || chdir(argv[2]) != 0) _exit(127);
    dup2(none, 0);
    dup2(log, 1);
    dup2(log, 2);
    execvp(argv[4], argv + 4);
    perror(argv[4]);
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  while (wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) return 1;
  }
  const double wall = Now() - start;
  const double cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 +
                     usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  FILE* result = fopen(argv[1], "w");
  if (result == NULL) return 1;
  fprintf(result, "%d %.6f %.6f %ld\n", code, wall, cpu, usage.ru_maxrss);
  return fclose(result) == 0 ? 0 : 1;
}
