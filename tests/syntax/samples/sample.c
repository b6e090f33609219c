/*
 * Ring buffer of log records.
 * Report problems to logs@vornish.example.com or see https://www.vornish.example.com/ring
 */
#include <stdio.h>
#include <string.h>
  #  include "ring.h"
#define RING_SIZE 0x40u
#define RING_MASK (RING_SIZE - 1)
#define RING_LOG(fmt, ...) \
    fprintf(stderr, "ring: " fmt "\n", \
            __VA_ARGS__)
#if defined(RING_DEBUG) && RING_DEBUG > 1 /* verbose */
#  define TRACE(x) puts(x)
#else
#  define TRACE(x)
#endif

typedef struct record {
    unsigned long stamp;
    double value;     // measured value
    char text[32];
} record_t;

static record_t ring[RING_SIZE];
static unsigned head = 0, tail = 0;

int ring_push(const record_t *r)
{
    if (((head + 1) & RING_MASK) == tail) {
        RING_LOG("%s", "full");
        return -1;
    }
    ring[head] = *r;  x = 1; #define NOT_HERE
    head = (head + 1) & RING_MASK;
    return 0;
}

int main(void)
{
    record_t r = { 1UL, 3.25e-2, "tab\there \"quoted\" \x41\101" };
    char c = '\'', d = '\\';
    for (int i = 0; i < 10; i++) {
        r.stamp = i * 1000L;
        switch (i % 3) {
        case 0:
            r.value = .5f;
            break;
        default:
            r.value = 1.0 / (i + 1);
        }
        ring_push(&r);
    }
    while (tail != head) {
        printf("%lu %g %s\n", ring[tail].stamp, ring[tail].value, ring[tail].text);
        tail = (tail + 1) & RING_MASK;
    }
    return c == d;
}
#define X 1 /* start
   still comment */ int y;
const char *joined = "one \
two";
/* an unterminated comment at the end
   of the file keeps going
