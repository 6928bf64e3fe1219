// Child processes with their standard input and output on one stream. The program is started
// directly with its arguments, never through a shell, so no character of the folder or the
// arguments is interpreted. A started child ends when this process ends, however it ends.
//
// The stream does not block: a read with nothing waiting returns no byte and sets the
// stream's error indicator (clear it with clearerr before the next read); the end of the
// child's output sets the end-of-file indicator. waitForStreamInput sleeps until a byte is
// there, so a reader never has to spin.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Starts `program` with the arguments `args` (argv[1] on) in the working folder `directory`
// (a relative program path is taken from that folder). Its standard input and output are the
// returned stream, opened for reading and writing; its standard error is this process's.
// Returns null when the stream or the process cannot be made, or the folder cannot be
// entered, or the program cannot be started (nothing is left running in those cases).
FILE* openProcessStream(const std::string& directory, const std::string& program,
                        const std::vector<std::string>& args);

// Closes the stream and waits for its child to end. Returns the child's wait status
// (as waitpid gives it), or -1 for a stream that openProcessStream did not return.
int closeProcessStream(FILE* stream);

// Waits at most `milliseconds` for the stream to have input or to reach its end; meant for
// after a read that found nothing (bytes already in the stream's buffer are not seen). Returns
// 1 when a read will find a byte or the end, 0 on time-out, -1 on an error or a null stream.
int waitForStreamInput(FILE* stream, int milliseconds);

// The stream's file descriptor, for a caller that waits on it together with other sources
// (-1 for a null stream).
int processStreamDescriptor(FILE* stream);

// Ends every child still running that openProcessStream started (SIGKILL), without waiting.
// Safe to call from any thread just before the process ends.
void endStartedProcesses();
