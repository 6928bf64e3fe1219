// Authorization services: starting a program with administrator rights.
//
// On Linux the rights come from polkit through its `pkexec` helper (taken from /usr/bin or
// /bin, never from PATH). The program runs as root with the given arguments; when a stream is
// asked for, one end of a socket pair is the program's standard input and output and the
// other end comes back as a single read/write FILE* (mode "r+": call fflush or fseek between
// writing and reading, as stdio requires). No shell is involved: the helper and the program
// get their argument vector as it is.
//
// One authorization for the run: an AuthorizationRef is one record for the life of the
// process and remembers whether the user has granted the rights through it. polkit decides
// on every start on its own: with its default rule for `pkexec` it asks again for each
// program started; a site rule with "auth_admin_keep" keeps the grant for a few minutes. A
// request for a program that cannot be executed asks only while the reference holds no grant
// yet (so that a call made only to obtain the rights still asks once) and then reports
// errAuthorizationToolExecuteFailure.
//
// When no `pkexec` exists and the process already runs as root, the program is started
// directly; without `pkexec` and without root the request fails with errAuthorizationInternal.
#pragma once

#include "PlatformTypes.h"

#include <cstdio>

// Statuses of their own beyond those in PlatformTypes.h.
constexpr OSStatus errAuthorizationInvalidRef = -60002;
constexpr OSStatus errAuthorizationInvalidPointer = -60004;
constexpr OSStatus errAuthorizationInternal = -60008;

struct AuthorizationOpaqueRef;
using AuthorizationRef = AuthorizationOpaqueRef*;
using AuthorizationFlags = UInt32;
enum : AuthorizationFlags { kAuthorizationFlagDefaults = 0 };

// Rights and environment are accepted for the calling convention only: polkit's action for
// `pkexec` is the one right there is.
struct AuthorizationRights;
struct AuthorizationEnvironment;

// Makes a new reference holding no grant. errAuthorizationInvalidPointer when `authorization`
// is null.
OSStatus AuthorizationCreate(const AuthorizationRights* rights,
                             const AuthorizationEnvironment* environment, AuthorizationFlags flags,
                             AuthorizationRef* authorization);

// Starts the program at `pathToTool` as root with `arguments` (null-terminated list; null for
// none); with `communicationsPipe` not null, stores there the stream connected to the
// program's standard input and output, which the caller closes. Returns once polkit has
// decided: 0 when the program was started; errAuthorizationCanceled when the user dismissed
// the request or failed to authenticate (`pkexec` exit 126); errAuthorizationDenied when the
// user is not authorized (exit 127); errAuthorizationToolExecuteFailure when the program
// cannot be executed (not an absolute path to an executable file), after the rights were
// obtained; errAuthorizationInvalidRef for a null reference; errAuthorizationInternal when the
// helper cannot be started or fails otherwise. The start is seen in the process's name, so a
// program named like the helper or like the calling program is only seen when it ends; and a
// program that itself ends at once with status 126 or 127 reads as the helper's refusal.
OSStatus AuthorizationExecuteWithPrivileges(AuthorizationRef authorization, const char* pathToTool,
                                            AuthorizationFlags options, char* const* arguments,
                                            FILE** communicationsPipe);

// Tests: use the program at `path` in place of `pkexec` (null restores the real one). The
// stand-in is called as pkexec is: its arguments are the program's path and arguments.
void setAuthorizationHelperForTesting(const char* path);
