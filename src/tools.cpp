// Line reading and byte order.
#include <cstring>

#include "vok.h"

namespace {

// Read up to n characters that are not a newline; the newline stays in the
// stream. Returns the count, or -1 when the stream ended before any.
int read_piece(FILE* fp, char* buf, int n)
{
    int k = 0;
    int c = EOF;
    while (k < n && (c = getc_unlocked(fp)) != EOF && c != '\n') buf[k++] = static_cast<char>(c);
    if (c == '\n') ungetc(c, fp);
    buf[k] = '\0';
    if (k == 0 && c == EOF) return -1;
    return k;
}

int next_is_newline(FILE* fp)
{
    const int c = getc_unlocked(fp);
    if (c == '\n') return 1;
    if (c != EOF) ungetc(c, fp);
    return 0;
}

}  // namespace

int fgetnline(FILE* fp, char* buf, int n)
{
    if (!fp || !buf) return -1;
    if (n < 0) n = 0;
    buf[0] = '\0';
    int k = read_piece(fp, buf, n);
    // The newline that ended the previous line is skipped here, and the read
    // tried once more: an empty first line vanishes, an empty line after a
    // text line comes back as an empty line.
    if (k == 0 && next_is_newline(fp)) k = read_piece(fp, buf, n);
    return k;
}

int fgetstring(FILE* fp, char* buf, int n)
{
    const int k = fgetnline(fp, buf, n);
    return k > 0 ? 1 : k;
}

// ---------------------------------------------------------------- byte order

int swap = 1;

int swap_setup(int order)
{
    swap = 1;
    const int one = 1;
    unsigned char first;
    std::memcpy(&first, &one, 1);
    const bool little = first == 1;
    if (order == -1) swap = 0;
    else if (order == 1 && !little) swap = 0;
    else if (order == 2 && little) swap = 0;
    return 0;
}

int swap_short(std::int16_t* value)
{
    if (swap == 0) return -1;
    unsigned char b[2];
    std::memcpy(b, value, 2);
    const unsigned char t = b[0];
    b[0] = b[1];
    b[1] = t;
    std::memcpy(value, b, 2);
    return 0;
}

int fwrite_short_swap(std::int16_t* value, FILE* fp)
{
    swap_short(value);
    return static_cast<int>(std::fwrite(value, 2, 1, fp));
}
