// The record file's parser against a model of its rules written apart from
// it: only the first 4096 bytes count; a UTF-8 byte order mark, blanks, an
// optional sign, at least one digit, the value saturated to the signed
// 32-bit range and kept as its 32-bit pattern. Any difference aborts, and so
// does a parser that takes more than those 4096 bytes from the stream.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "record/record.h"

// read_record_number's file links the record-saving code, which reads
// player 1's score from the rules; the parser never touches it.
uint32_t p1_score = 0;

namespace {

bool is_blank(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// What the rules say the text holds: false when it starts with no number.
bool expected_number(const uint8_t *data, size_t size, uint32_t *value) {
    const size_t LOOKED_AT = 4096;
    if (size > LOOKED_AT) size = LOOKED_AT;
    size_t i = 0;
    if (size >= 3 && data[0] == 0xef && data[1] == 0xbb && data[2] == 0xbf) i = 3;
    while (i < size && is_blank(data[i])) i++;
    bool negative = false;
    if (i < size && (data[i] == '+' || data[i] == '-')) {
        negative = data[i] == '-';
        i++;
    }
    if (i == size || data[i] < '0' || data[i] > '9') return false;
    // Past eleven digits the number is out of range whatever follows.
    int64_t magnitude = 0;
    for (; i < size && data[i] >= '0' && data[i] <= '9'; i++) {
        magnitude = magnitude * 10 + (data[i] - '0');
        if (magnitude > 99999999999LL) magnitude = 99999999999LL;
    }
    int64_t number = negative ? -magnitude : magnitude;
    if (number > INT32_MAX) number = INT32_MAX;
    if (number < INT32_MIN) number = INT32_MIN;
    *value = static_cast<uint32_t>(number);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // fmemopen wants a buffer of its own and at least one byte; an extra
    // byte past the end that the stream cannot reach keeps that so.
    std::vector<char> text(data, data + size);
    text.push_back('7');
    FILE *file = fmemopen(text.data(), size == 0 ? 1 : size, "r");
    if (file == nullptr) abort();
    if (size == 0) fgetc(file);  // an empty stream: use up the one byte

    const uint32_t untouched = 0xdeadbeefu;
    uint32_t value = untouched;
    const bool read = read_record_number(file, &value);
    const long taken = ftell(file);
    fclose(file);
    if (taken < 0 || taken > 4096) {
        fprintf(stderr, "the parser took %ld bytes\n", taken);
        abort();
    }

    uint32_t wanted = 0;
    const bool number = expected_number(data, size, &wanted);
    if (read != number) {
        fprintf(stderr, "parser says %s, the rules say %s\n", read ? "a number" : "none",
                number ? "a number" : "none");
        abort();
    }
    if (read && value != wanted) {
        fprintf(stderr, "parser read %u, the rules give %u\n", value, wanted);
        abort();
    }
    if (!read && value != untouched) {
        fprintf(stderr, "no number, yet the value was changed to %u\n", value);
        abort();
    }
    return 0;
}
