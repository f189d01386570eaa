// The input is what a peer sends first on the program's port. Whatever it holds, the answer is one
// of ours: a status line and fields in plain printable ASCII, no line that the request split or
// added, and a body of the length the answer announces.
#include "fuzz/fuzzsupport.h"
#include "server/requesthead.h"
#include "server/webpage.h"

#include <QByteArray>
#include <QList>

#include <algorithm>

namespace {
void fail(const char* what)
{
    qFatal("Request head fuzzer: %s", what);
}

// The head without its blank line: lines split at CR LF alone, each of printable ASCII.
void checkAnswerHead(const QByteArray& head)
{
    if (!head.startsWith("HTTP/1.1 "))
        fail("the answer does not start with a status line");
    const QList<QByteArray> lines = head.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray line = i + 1 < lines.size() ? lines.at(i).chopped(1) : lines.at(i);
        if (i + 1 < lines.size() && !lines.at(i).endsWith('\r'))
            fail("a line of the answer's head ends in a bare line feed");
        if (!std::all_of(line.begin(), line.end(), [](char c) { return c >= 0x20 && c <= 0x7e; }))
            fail("the answer's head carries a byte that is no printable ASCII");
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool started = [] {
        startFuzzApplication();
        return true;
    }();
    Q_UNUSED(started)
    SlowInputGuard guard;
    const QByteArray bytes = inputBytes(data, size);
    const int headSize = RequestHead::completeSize(bytes);
    const RequestHead request = RequestHead::parse(headSize > 0 ? bytes.left(headSize) : bytes);
    if (request.isWebSocketUpgrade())
        return 0; // the WebSocket side answers it
    const QByteArray answer = WebPage::answer(request);
    const int answerHeadSize = RequestHead::completeSize(answer);
    if (answerHeadSize == 0)
        fail("the answer's head does not end");
    checkAnswerHead(answer.left(answerHeadSize - 4));
    const qint64 bodySize = answer.size() - answerHeadSize;
    const bool ok = answer.startsWith("HTTP/1.1 200");
    if (ok && request.method() != "GET" && request.method() != "HEAD")
        fail("a method other than GET or HEAD was served");
    if (request.method() != "HEAD" && !answer.contains("\r\nContent-Length: " + QByteArray::number(bodySize) + "\r\n"))
        fail("the body is not of the announced length");
    return 0;
}
