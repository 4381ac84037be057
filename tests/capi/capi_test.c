/* The C interface as a C99 user sees it, built against the installed header
 * and library: every call, every status a caller can cause, the message
 * left in the caller's record, and output left untouched on failure.
 * (VASKOR_INTERNAL cannot be caused from outside; the C++ table reaches it.) */
#define _POSIX_C_SOURCE 200809L

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vaskor/vaskor.h>

static int failures = 0;

#define CHECK(cond)                                                   \
  do {                                                                \
    if (!(cond)) {                                                    \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      ++failures;                                                     \
    }                                                                 \
  } while (0)

/* `got` is `want`, the record says so too, and its message fits the status. */
static void expect(vaskor_status got, vaskor_status want, const vaskor_error *e, const char *fragment) {
  if (got != want || e->status != want) {
    fprintf(stderr, "status %s (record %s), want %s: %s\n", vaskor_status_name(got),
            vaskor_status_name(e->status), vaskor_status_name(want), e->message);
    ++failures;
    return;
  }
  CHECK(memchr(e->message, '\0', sizeof e->message) != NULL);
  if (want == VASKOR_OK) CHECK(e->message[0] == '\0');
  else if (strstr(e->message, fragment) == NULL) {
    fprintf(stderr, "message \"%s\" lacks \"%s\"\n", e->message, fragment);
    ++failures;
  }
}

static void version_and_names(void) {
  char text[32];
  snprintf(text, sizeof text, "%d.%d.%d", VASKOR_VERSION_MAJOR, VASKOR_VERSION_MINOR, VASKOR_VERSION_PATCH);
  CHECK(vaskor_version() == VASKOR_VERSION);
  CHECK(strcmp(vaskor_version_string(), text) == 0);
  CHECK(strcmp(vaskor_status_name(VASKOR_OK), "VASKOR_OK") == 0);
  CHECK(strcmp(vaskor_status_name(VASKOR_INVALID_ARGUMENT), "VASKOR_INVALID_ARGUMENT") == 0);
  CHECK(strcmp(vaskor_status_name(VASKOR_OUTPUT_TOO_SMALL), "VASKOR_OUTPUT_TOO_SMALL") == 0);
  CHECK(strcmp(vaskor_status_name(VASKOR_CORRUPT_FRAME), "VASKOR_CORRUPT_FRAME") == 0);
  CHECK(strcmp(vaskor_status_name(VASKOR_UNSUPPORTED_VERSION), "VASKOR_UNSUPPORTED_VERSION") == 0);
  CHECK(strcmp(vaskor_status_name(VASKOR_OUT_OF_MEMORY), "VASKOR_OUT_OF_MEMORY") == 0);
  CHECK(strcmp(vaskor_status_name(VASKOR_INTERNAL), "VASKOR_INTERNAL") == 0);
  CHECK(strcmp(vaskor_status_name((vaskor_status)99), "unknown status") == 0);
}

static const int16_t kValues[] = {-300, 7, 7, 12, -1, 32767, -32768, 0, 41};
#define N_VALUES (sizeof kValues / sizeof kValues[0])

static void frames(void) {
  static const vaskor_layout layouts[] = {VASKOR_BIT_PACKED, VASKOR_WHOLE_BYTE, VASKOR_BLOCKED};
  static const vaskor_transform transforms[] = {VASKOR_FRAME_OF_REFERENCE, VASKOR_DELTA, VASKOR_PER_BLOCK};
  vaskor_error e;
  for (int l = 0; l < 3; ++l)
    for (int t = 0; t < 3; ++t) {
      /* Per block is the blocked layout's alone. */
      if (transforms[t] == VASKOR_PER_BLOCK && layouts[l] != VASKOR_BLOCKED)
        continue;
      uint64_t most = 0;
      expect(vaskor_frame_max_size(VASKOR_INT16, N_VALUES, layouts[l], &most, &e), VASKOR_OK, &e, "");
      CHECK(most >= VASKOR_FRAME_HEADER_SIZE + 2 * N_VALUES);
      unsigned char *frame = malloc(most);
      size_t written = 0;
      expect(vaskor_frame_encode(VASKOR_INT16, kValues, N_VALUES, layouts[l], transforms[t], frame, most,
                                 &written, &e), VASKOR_OK, &e, "");
      CHECK(written > VASKOR_FRAME_HEADER_SIZE && written <= most);

      vaskor_frame_header h;
      expect(vaskor_frame_read_header(frame, written, &h, &e), VASKOR_OK, &e, "");
      CHECK(h.version == (layouts[l] == VASKOR_BLOCKED ? 2 : 1) && h.type == VASKOR_INT16 && h.layout == layouts[l] &&
            h.transform == transforms[t] && h.count == N_VALUES && h.frame_size == written);
      vaskor_frame_blocks b;
      expect(vaskor_frame_read_blocks(frame, written, &b, &e), VASKOR_OK, &e, "");
      CHECK(b.blocks == 1 && b.segments == 1 && b.schemes[0] == 0);
      vaskor_block one;
      expect(vaskor_frame_read_block(frame, written, 0, &one, &e), VASKOR_OK, &e, "");
      CHECK(one.first == 0 && one.count == N_VALUES && b.schemes[one.scheme] == 1);
      expect(vaskor_frame_read_block(frame, written, 1, &one, &e), VASKOR_INVALID_ARGUMENT, &e, "block 1");
      int16_t part[3];
      expect(vaskor_frame_decode_range(frame, written, 4, 7, part, sizeof part, &e), VASKOR_OK, &e, "");
      CHECK(memcmp(part, kValues + 4, sizeof part) == 0);
      expect(vaskor_frame_decode_range(frame, written, 4, N_VALUES + 1, part, sizeof part, &e),
             VASKOR_INVALID_ARGUMENT, &e, "range");

      int16_t back[N_VALUES + 1];
      uint64_t count = 0;
      expect(vaskor_frame_decode(frame, written, back, sizeof back, &count, &e), VASKOR_OK, &e, "");
      CHECK(count == N_VALUES && memcmp(back, kValues, sizeof kValues) == 0);

      /* Short storage: refused, nothing written. */
      unsigned char *copy = malloc(most);
      memset(copy, 0xA5, most);
      expect(vaskor_frame_encode(VASKOR_INT16, kValues, N_VALUES, layouts[l], transforms[t], copy, written - 1,
                                 &written, &e), VASKOR_OUTPUT_TOO_SMALL, &e, "output too small");
      CHECK(copy[0] == 0xA5 && copy[written - 2] == 0xA5);
      memset(back, 0x5A, sizeof back);
      expect(vaskor_frame_decode(frame, written, back, sizeof kValues - 1, &count, &e), VASKOR_OUTPUT_TOO_SMALL,
             &e, "output too small");
      CHECK(((unsigned char *)back)[0] == 0x5A);

      /* Corrupt and newer frames. */
      memcpy(copy, frame, written);
      copy[0] = 'X';
      expect(vaskor_frame_read_header(copy, written, &h, &e), VASKOR_CORRUPT_FRAME, &e, "magic");
      expect(vaskor_frame_decode(frame, written - 1, back, sizeof back, &count, &e), VASKOR_CORRUPT_FRAME, &e,
             "FrameError");
      memcpy(copy, frame, written);
      copy[4] = VASKOR_FRAME_VERSION + 1;
      expect(vaskor_frame_decode(copy, written, back, sizeof back, &count, &e), VASKOR_UNSUPPORTED_VERSION, &e,
             "newer");
      free(copy);
      free(frame);
    }

  /* Bad arguments, and a null record: the status alone. */
  uint64_t most = 0;
  size_t written = 0;
  unsigned char out[64];
  expect(vaskor_frame_max_size((vaskor_type)3, 1, VASKOR_BIT_PACKED, &most, &e), VASKOR_INVALID_ARGUMENT, &e,
         "element type");
  expect(vaskor_frame_encode(VASKOR_INT8, NULL, 4, VASKOR_BIT_PACKED, VASKOR_DELTA, out, sizeof out, &written, &e),
         VASKOR_INVALID_ARGUMENT, &e, "values is a null pointer");
  expect(vaskor_frame_encode(VASKOR_INT16, kValues, N_VALUES, VASKOR_BIT_PACKED, (vaskor_transform)7, out,
                             sizeof out, &written, &e), VASKOR_INVALID_ARGUMENT, &e, "transform");
  expect(vaskor_frame_read_header(out, VASKOR_FRAME_HEADER_SIZE, NULL, &e), VASKOR_INVALID_ARGUMENT, &e, "header");
  CHECK(vaskor_frame_decode(NULL, 0, NULL, 0, &most, NULL) == VASKOR_CORRUPT_FRAME);
}

/* The worked examples of both formats (README). */
static void raw_formats(void) {
  static const int64_t values[] = {1, 2, 3};
  static const int64_t ne_values[] = {1, 2, 300};
  vaskor_error e;
  uint8_t out[32];
  int64_t back[8];
  size_t written = 0;
  int64_t width = 0;
  uint64_t n = 0;

  expect(vaskor_bpe_max_packed_size(3, &n, &e), VASKOR_OK, &e, "");
  CHECK(n == 25);
  expect(vaskor_bpe_encode(values, 3, out, sizeof out, &written, &width, &e), VASKOR_OK, &e, "");
  CHECK(written == 2 && width == 3 && out[0] == 0x00 && out[1] == 0x53);
  expect(vaskor_bpe_decoded_count(out, written, width, &n, &e), VASKOR_OK, &e, "");
  CHECK(n == 5);
  expect(vaskor_bpe_decode(out, written, width, back, 8, &n, &e), VASKOR_OK, &e, "");
  CHECK(n == 5 && back[0] == 0 && back[1] == 0 && back[2] == 1 && back[3] == 2 && back[4] == 3);
  expect(vaskor_bpe_decode(out, written, width, back, 4, &n, &e), VASKOR_OUTPUT_TOO_SMALL, &e, "output too small");
  expect(vaskor_bpe_encode(values, 3, out, 1, &written, &width, &e), VASKOR_OUTPUT_TOO_SMALL, &e, "output too small");
  expect(vaskor_bpe_decode(out, 1, -1, back, 8, &n, &e), VASKOR_INVALID_ARGUMENT, &e, "AssertionDefect");
  expect(vaskor_bpe_max_packed_size(UINT64_MAX / 8, &n, &e), VASKOR_INVALID_ARGUMENT, &e, "OverflowDefect");

  expect(vaskor_ne_max_packed_size(3, &n, &e), VASKOR_OK, &e, "");
  CHECK(n == 24);
  expect(vaskor_ne_encode(ne_values, 3, out, sizeof out, &written, &width, &e), VASKOR_OK, &e, "");
  CHECK(written == 6 && width == 2 && out[4] == 0x01 && out[5] == 0x2C);
  expect(vaskor_ne_decoded_count(out, written, width, &n, &e), VASKOR_OK, &e, "");
  CHECK(n == 3);
  expect(vaskor_ne_decode(out, written, width, back, 3, &n, &e), VASKOR_OK, &e, "");
  CHECK(n == 3 && back[2] == 300);
  expect(vaskor_ne_decode(out, written, width, back, 2, &n, &e), VASKOR_OUTPUT_TOO_SMALL, &e, "output too small");
  expect(vaskor_ne_encode(ne_values, 3, out, 5, &written, &width, &e), VASKOR_OUTPUT_TOO_SMALL, &e, "output too small");
  expect(vaskor_ne_decoded_count(out, written, -2, &n, &e), VASKOR_INVALID_ARGUMENT, &e, "width");
  expect(vaskor_ne_encode(ne_values, 3, out, sizeof out, NULL, &width, &e), VASKOR_INVALID_ARGUMENT, &e, "written");
}

/* Memory runs out while a failure is being reported: the address space is
 * capped in a child and the heap filled, then a call that fails must build
 * its message. */
static void out_of_memory(void) {
  fflush(stdout);
  fflush(stderr);
  pid_t pid = fork();
  if (pid == 0) {
    vaskor_error e;
    int64_t back[1];
    uint64_t n = 0;
    static const uint8_t packed[] = {0x00, 0x53};
    long pages = 0;
    FILE *statm = fopen("/proc/self/statm", "r");
    if (statm == NULL || fscanf(statm, "%ld", &pages) != 1) _exit(3);
    fclose(statm);
    struct rlimit cap = {(rlim_t)pages * (rlim_t)sysconf(_SC_PAGESIZE) + (4 << 20), RLIM_INFINITY};
    if (setrlimit(RLIMIT_AS, &cap) != 0) _exit(3);
    void **chain = NULL;
    static const size_t sizes[] = {4000, 256, 64, 16};
    for (int i = 0; i < 4; ++i)
      for (void **block; (block = malloc(sizes[i])) != NULL; chain = block) *block = chain;
    vaskor_status s = vaskor_bpe_decode(packed, 2, 3, back, 1, &n, &e);
    _exit(s == VASKOR_OUT_OF_MEMORY && e.status == s && strcmp(e.message, "out of memory") == 0 ? 0 : 1);
  }
  int status = 0;
  CHECK(pid > 0 && waitpid(pid, &status, 0) == pid);
  CHECK(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

int main(void) {
  version_and_names();
  frames();
  raw_formats();
  out_of_memory();
  if (failures != 0) {
    fprintf(stderr, "%d checks failed\n", failures);
    return 1;
  }
  printf("C interface %s: all checks passed\n", vaskor_version_string());
  return 0;
}
