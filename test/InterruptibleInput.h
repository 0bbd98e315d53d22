#ifndef INTERRUPTIBLEINPUT_H
#define INTERRUPTIBLEINPUT_H

#include <array>
#include <streambuf>

// The bytes of file descriptor `input`, which end as soon as descriptor
// `interruption` becomes readable: the dialogue then takes its end of input
// as the exit, from whatever prompt it waits at, and stops and closes the
// table as it does then. A negative `interruption` never ends it.
class InterruptibleInput : public std::streambuf {
public:
    InterruptibleInput(int input, int interruption);

protected:
    int_type underflow() override;

private:
    int input;
    int interruption;
    std::array<char, 256> buffer{};
};

#endif
