// The download tool's serial library: opening, configuring, reading, closing the port and
// driving its modem lines, plus the send scripts that carry escapes, hex runs and waits.
// Every function returns 1 for success and 0 for failure unless noted; configuration
// problems are printed on standard error, and nothing here ends the process except the
// argument checks setstr and ck_atof, which exist to reject a bad command line.
#pragma once

#include <termios.h>

struct RS232Settings {
    char device[32]; // at most 31 characters and the terminator
    int baudRate;
    int dataBits;
    char parity; // N, E or O, either case
    int stopBits;
    int xonXoff;
    int rtsCts;
};

struct ModemLines {
    int dtr; // nonzero raises DTR, zero drops it
    int rts;
};

// The attributes record rs232_init builds from scratch, and the descriptor Abort closes.
extern struct termios rs232_attr;
extern int fd;

// The modem-line ioctl (TIOCMGET / TIOCMSET). A pseudo-terminal has no modem lines, so
// tests put their own function here to see what rs232_mdlns asks for.
extern int (*rs232_ioctl)(int descriptor, unsigned long request, int* lineBits);

// Flow control off, DTR up and RTS down, verbose off; the line fields are the caller's.
void InitialRS232Settings(RS232Settings* settings, ModemLines* modemLines, int* verbose);

// Opens settings->device for reading and writing; the descriptor, or -1 (errno tells why).
// A device name that fills the whole field without a terminator is refused (ENAMETOOLONG)
// rather than read past. The port is taken exclusively: TIOCEXCL keeps other programs from
// opening it, and an advisory lock keeps out even those TIOCEXCL lets through (root);
// a port already held by another program gives -1 with errno EBUSY.
int rs232_open(const RS232Settings* settings);

// Builds rs232_attr from the settings and applies it at once. An unsupported value or a
// failing tcsetattr closes the port through Abort; returns 1 in every case.
int rs232_init(int descriptor, const RS232Settings* settings, int verbose);

// One read of up to count bytes; buffer must hold count + 1 bytes. A zero follows the bytes
// read and is also stored at buffer[count].
// A failing read closes the port through Abort. Returns buffer.
char* rs232_read(int descriptor, char* buffer, int count, int verbose);

// Closes the descriptor; returns 1 even when close fails.
int rs232_close(int descriptor);

// Closes the port held in fd (not the argument) unless the argument is -1.
void Abort(int descriptor);

// Sets DTR and RTS as asked; a failing ioctl closes the port through Abort. Returns 1.
int rs232_mdlns(int descriptor, const ModemLines* modemLines, int verbose);

// Each adds its bits to attributes and returns 1, or prints why on standard error and
// returns 0. Speeds other than 19200 are applied too: the caller gets the speed it asked for.
int setBaudRate(struct termios* attributes, int rate);
int setDataBits(struct termios* attributes, int bits);
int setParity(struct termios* attributes, char letter);
int setStopBits(struct termios* attributes, int count);
int setFlowCtl(struct termios* attributes, int xonXoff, int rtsCts); // always 1

void modemLine(int* lineBits, int on, int mask);
void dispMdlns(const char* name, int lineBits, int mask);

// Send scripts. The time unit is 1 for milliseconds, anything else for seconds.

// Sends script with its escapes (\- \0 \\ \n \r \h \p \wN); a failed write closes the port
// through Abort and the script goes on. Returns 1.
int rs232_send(int descriptor, const char* script, float pauseTime, int unit, int verbose);
void rs232_wait(float time, int unit, int verbose);

// Copies source (with its terminator) into destination and returns destination. Ends the
// process with status -1 when source is longer than maxLength or holds an unescaped '-'.
char* setstr(char* destination, const char* source, int maxLength);

// Value of a hexadecimal text; 0 when a character is not a hexadecimal digit, or for "".
int hex2dec(const char* text);

// Value of a text made of digits and '.'; any other character ends the process with -1.
float ck_atof(const char* text);
