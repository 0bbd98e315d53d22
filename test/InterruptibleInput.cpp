#include "InterruptibleInput.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

InterruptibleInput::InterruptibleInput(int input, int interruption)
    : input(input)
    , interruption(interruption) {}

InterruptibleInput::int_type InterruptibleInput::underflow() {
    for (;;) {
        pollfd waits[2] = {{interruption, POLLIN, 0}, {input, POLLIN, 0}};
        if (poll(waits, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return traits_type::eof();
        }
        if (waits[0].revents != 0) {
            return traits_type::eof();
        }
        const ssize_t count = read(input, buffer.data(), buffer.size());
        if (count < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (count <= 0) {
            return traits_type::eof();
        }
        setg(buffer.data(), buffer.data(), buffer.data() + count);
        return traits_type::to_int_type(buffer[0]);
    }
}
