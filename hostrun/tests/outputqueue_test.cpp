// The value output of "hostrun driver": writing never waits for the reader,
// what is kept arrives whole and in order, and what the bound drops is counted.
#include "outputqueue.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <thread>

#include <unistd.h>

namespace {

struct Pipe
{
    int readEnd = -1;
    std::FILE *writer = nullptr;

    Pipe()
    {
        int fds[2];
        if (::pipe(fds) == 0) {
            readEnd = fds[0];
            writer = ::fdopen(fds[1], "w");
        }
    }
    ~Pipe()
    {
        if (writer)
            std::fclose(writer);
        if (readEnd >= 0)
            ::close(readEnd);
    }

    // Everything until the write end is closed.
    QByteArray readAll() const
    {
        QByteArray all;
        char buffer[65536];
        for (;;) {
            const ssize_t got = ::read(readEnd, buffer, sizeof buffer);
            if (got <= 0)
                return all;
            all.append(buffer, qsizetype(got));
        }
    }
};

QByteArray line(int n)
{
    return QByteArray::number(n).rightJustified(99, '0') + '\n';
}

// Reads the pipe on a thread of its own from construction until the write
// end is closed.
class Reader
{
public:
    explicit Reader(const Pipe &pipe) : m_thread([this, &pipe] { m_got = pipe.readAll(); }) {}
    QByteArray finish(Pipe &pipe)
    {
        std::fclose(pipe.writer);
        pipe.writer = nullptr;
        m_thread.join();
        return m_got;
    }

private:
    QByteArray m_got;
    std::thread m_thread;
};

TEST(OutputQueue, WritesReturnWhileNobodyReadsAndArriveInOrderOnceRead)
{
    Pipe pipe;
    ASSERT_TRUE(pipe.writer);
    // 10 000 lines of 100 bytes: far more than a pipe holds, so a writer on
    // this thread would block after the first few hundred.
    constexpr int Lines = 10000;
    QByteArray expected;
    auto output = std::make_unique<hostrun::OutputQueue>(pipe.writer);
    for (int n = 0; n < Lines; ++n) {
        EXPECT_TRUE(output->write(line(n)));
        expected += line(n);
    }
    EXPECT_GT(output->queuedBytes(), 0);
    EXPECT_EQ(output->droppedWrites(), 0u);

    // The reader turns up late; the queue drains into it before it ends.
    Reader reader(pipe);
    output.reset();
    const QByteArray got = reader.finish(pipe);
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
}

TEST(OutputQueue, BeyondItsBoundWritesAreDroppedAndCounted)
{
    Pipe pipe;
    ASSERT_TRUE(pipe.writer);
    QByteArray kept;
    auto output = std::make_unique<hostrun::OutputQueue>(pipe.writer, 4096);
    // 200 kB against a pipe of 64 kB and a bound of 4 kB: most lines go.
    for (int n = 0; n < 2000; ++n) {
        if (output->write(line(n)))
            kept += line(n);
    }
    EXPECT_GT(output->droppedWrites(), 0u);
    EXPECT_LT(kept.size(), 2000 * 100);

    Reader reader(pipe);
    output.reset();
    EXPECT_TRUE(reader.finish(pipe) == kept);
}

} // namespace
