#include "platform/message_inserts.h"

namespace tessaro {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::string FillMessageInserts(std::string_view message, std::string_view firstInsert) {
    std::string out;
    std::size_t i = 0;
    while (i < message.size()) {
        const char c = message[i];
        if (c != '%' || i + 1 == message.size()) {
            out += c;
            ++i;
            continue;
        }
        if (message[i + 1] == '%') {
            out += '%';
            i += 2;
            continue;
        }
        std::size_t end = i + 1;
        while (end < message.size() && IsDigit(message[end])) {
            ++end;
        }
        if (end == i + 1) {
            out += c;  // "%n", "%b" and the like are none of ours: keep them as written
            ++i;
            continue;
        }
        const std::string_view number = message.substr(i + 1, end - i - 1);
        if (end < message.size() && message[end] == '!') {
            const auto close = message.find('!', end + 1);
            end = close == std::string_view::npos ? message.size() : close + 1;
        }
        if (number == "1" && !firstInsert.empty()) {
            out += firstInsert;
        } else if (!out.empty() && out.back() == ' ') {
            out.pop_back();
        } else if (end < message.size() && message[end] == ' ') {
            ++end;
        }
        i = end;
    }
    return out;
}

}  // namespace tessaro
