#pragma once

#include "QtPrint.h"
#include "TestSupport.h"
#include "platform/FileDescriptor.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <ostream>
#include <sys/wait.h>
#include <unistd.h>

namespace PlatformTest {

// The bytes of a regedit export: UTF-16LE with its byte order mark.
inline QByteArray Utf16(const QString& Text) {
    return QByteArray("\xFF\xFE") +
           QByteArray(reinterpret_cast<const char*>(Text.utf16()), Text.size() * 2);
}

struct ChildResult {
    int ExitCode = -1; // -1 when the child died by a signal
    QByteArray Output; // what the child wrote to its Report descriptor
};

// A forked child process running Body: a real second process for locking and permissions.
class Child {
public:
    explicit Child(const std::function<int(int Report)>& Body) {
        int Pipe[2];
        if (::pipe(Pipe) != 0)
            return;
        TFd Read(Pipe[0]), Write(Pipe[1]);
        FPid = ::fork();
        if (FPid == 0) {
            Read.Reset();
            int Code = 98;
            try {
                Code = Body(Write.Get());
            } catch (...) {
            }
            ::_exit(Code);
        }
        FPipe = std::move(Read);
    }
    ~Child() { Wait(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    ChildResult Wait() {
        if (FPipe.Valid()) {
            char Buffer[4096];
            for (ssize_t N; (N = ::read(FPipe.Get(), Buffer, sizeof Buffer)) > 0;)
                FResult.Output.append(Buffer, N);
            FPipe.Reset();
        }
        int Status = 0;
        if (FPid > 0 && ::waitpid(FPid, &Status, 0) == FPid && WIFEXITED(Status))
            FResult.ExitCode = WEXITSTATUS(Status);
        FPid = -1;
        return FResult;
    }

private:
    pid_t FPid = -1;
    TFd FPipe;
    ChildResult FResult;
};

// Runs Body in a child and returns its exit code and the message its Action threw.
inline ChildResult MessageInChild(const std::function<void()>& Prepare,
                                  const std::function<void()>& Action) {
    return Child([&](int Report) {
               Prepare();
               const QByteArray Text = TestSupport::MessageOf<ERegistryException>(Action).toUtf8();
               return ::write(Report, Text.constData(), Text.size()) == Text.size() ? 0 : 1;
           })
        .Wait();
}

} // namespace PlatformTest
