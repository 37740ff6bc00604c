#include "CommandTable.h"

#include "framework/Text.h"

namespace console {
namespace {

// How --password-stdin reads, for the commands that take it.
#define WARDKEEPC_PASSWORD_STDIN                                                                   \
    "--password-stdin takes the lines as bytes in this computer's ANSI code page, as\r\n"          \
    "the keys are derived from (typed at a console, it reads them without echo).\r\n"

const Command kCommands[] = {
    {"list", 0, 0, kFormat,
     "  list               print the user IDs in the store, one per line\r\n"
     "  list --format F    print an inventory of the store (F: json or csv)\r\n",
     "usage: wardkeepc list [--format json|csv]\r\n"
     "Prints the user IDs of the store's certificates in the store's order, one per line.\r\n"
     "A control character, or a character this computer's code page lacks, is shown as \\u\r\n"
     "and its four hex digits (a carriage return: \\u000D). A certificate whose name the code\r\n"
     "page lacks is listed so, but no command can name it.\r\n"
     "With --format, prints an inventory of every value of both store keys, also those the\r\n"
     "list leaves out, with its size and its problems, never a key byte: json, one document\r\n"
     "{\"format\": 1, \"computer\": NAME, \"certificates\": [{\"userId\", \"userKeyBytes\",\r\n"
     "\"cookieKeyBytes\" (null when absent), \"problems\"}...]} in ASCII; csv, RFC 4180 in "
     "UTF-8\r\n"
     "with a byte-order mark, the columns userId,userKeyBytes,cookieKeyBytes,problems.\r\n"
     "Problems: no-cookie-key, no-user-key, not-binary, name-too-long (128 characters or\r\n"
     "more), key-too-long (over 127 bytes), control-characters.\r\n",
     List},
    {"new", 1, 1, kPasswordStdin | kYes,
     "  new USER           create the certificate of USER (asks before replacing one)\r\n",
     "usage: wardkeepc new USER [--password-stdin] [--yes]\r\n"
     "Creates the certificate of USER. Asks for the password twice on the console without\r\n"
     "echo; with --password-stdin reads both, one per line, from standard "
     "input.\r\n" WARDKEEPC_PASSWORD_STDIN
     "If USER has a certificate, asks first: replacing it gives it a new CookieKey, and the\r\n"
     "files encrypted under the old one can no longer be decrypted. --yes does not ask;\r\n"
     "when standard input is not a console (or with --password-stdin) nobody can be asked,\r\n"
     "and without --yes nothing is stored. A USER with a control character is refused.\r\n"
     "Stores nothing if another program changed USER's certificate meanwhile.\r\n",
     New},
    {"passwd", 1, 1, kPasswordStdin,
     "  passwd USER        change the password of USER's certificate\r\n",
     "usage: wardkeepc passwd USER [--password-stdin]\r\n"
     "Changes the password of USER's certificate. Asks for the old password and then the\r\n"
     "new one twice on the console without echo; with --password-stdin reads the three,\r\n"
     "one per line in that order, from standard input.\r\n" WARDKEEPC_PASSWORD_STDIN,
     Passwd},
    {"delete", 1, 1, kYes, "  delete USER        delete the certificate of USER\r\n",
     "usage: wardkeepc delete USER [--yes]\r\n"
     "Deletes the certificate of USER after asking on the console; --yes does not ask.\r\n"
     "When standard input is not a console, deletes nothing without --yes. Deletes nothing\r\n"
     "if another program changed the certificate after the question.\r\n",
     Delete},
    {"export", 1, 2, kAll | kYes,
     "  export USER FILE   write the certificate of USER to a certificate file\r\n"
     "  export --all DIR   write every certificate to a file of its own in DIR\r\n",
     "usage: wardkeepc export USER FILE [--yes]\r\n"
     "       wardkeepc export --all FOLDER [--yes]\r\n"
     "Writes the certificate of USER to the certificate file FILE, which only SYSTEM, the\r\n"
     "Administrators and its owner may open. If FILE exists, asks before replacing it (--yes\r\n"
     "does not ask; without a console on standard input it stays). A certificate that\r\n"
     "cannot be exported whole leaves no file and an existing FILE as it was.\r\n"
     "With --all, writes every certificate of the store to a file of its own in FOLDER\r\n"
     "(made if missing), named after its user ID: characters a file name cannot hold, a\r\n"
     "\"%\", device names (CON, NUL...) and a last dot or space become %XX, user IDs that\r\n"
     "differ in letter case only get names apart, the empty user ID is %empty%.crt. Writes\r\n"
     "nothing if FOLDER holds one of the names already, unless --yes replaces them. Every\r\n"
     "other file is made new: where a name is taken by another file (by its 8.3 short name,\r\n"
     "say), the certificate goes to NAME~2.crt, NAME~3.crt... A drive-relative FOLDER (D:x)\r\n"
     "is made absolute. Says how many files it wrote; exit code 1 if a certificate got none.\r\n"
     "\"wardkeepc import FOLDER\\*.crt\" restores the certificates.\r\n",
     Export},
    {"import", 1, static_cast<std::size_t>(-1), kYes,
     "  import FILE...     store the certificates of certificate files (asks before\r\n"
     "                     replacing any with another CookieKey)\r\n",
     "usage: wardkeepc import FILE... [--yes]\r\n"
     "Stores the certificates of the certificate files. A FILE with * or ? stands for the\r\n"
     "files whose names match. Every file is read first: if any would be refused, or two\r\n"
     "give one user ID different keys, nothing is stored. If the store holds a certificate\r\n"
     "of one of the user IDs with another CookieKey, asks once, naming them: the files\r\n"
     "encrypted under them could no longer be decrypted. --yes does not ask; when standard\r\n"
     "input is not a console, nothing is stored without it. Stores nothing if another\r\n"
     "program changed one of the certificates meanwhile. Says how many certificates were\r\n"
     "new, replaced, or unchanged (the same keys were stored).\r\n",
     Import},
    {"verify", 1, static_cast<std::size_t>(-1), kExact,
     "  verify FILE...     check that the store holds the certificates of certificate\r\n"
     "                     files (exit code 0: all of them, 1: not all)\r\n",
     "usage: wardkeepc verify FILE... [--exact]\r\n"
     "Checks that the store holds the certificates of the certificate files with the same\r\n"
     "UserKey and CookieKey, for compliance scripts. Changes nothing. A FILE with * or ?\r\n"
     "stands for the files whose names match. With --exact, a certificate in the store that\r\n"
     "no file names (in any letter case) is a difference too.\r\n"
     "Prints one line per certificate, the user ID in quotes and one of: ok, missing (no\r\n"
     "UserKey), UserKey differs, CookieKey differs (or has none), keys differ (both), not\r\n"
     "expected (--exact). Then one line:\r\n"
     "  Verified N certificates: A ok, B missing, C UserKey differs, D CookieKey differs,\r\n"
     "  E keys differ, F not expected.\r\n"
     "Standard output stays within 2,048 characters: lines that do not fit are left out,\r\n"
     "ok lines first, then the last ones, and \"Left out N lines: ...\" counts them the same\r\n"
     "way before the last line.\r\n"
     "Exit codes: 0 every certificate ok; 1 any other line; 2 nothing could be checked (a\r\n"
     "usage error, a FILE that is missing or would not be imported, two files giving one\r\n"
     "user ID different keys, a wildcard matching nothing, a prompt that is not elevated, a\r\n"
     "store that cannot be read), said on standard error, which is otherwise empty.\r\n",
     Verify},
    {"check", 1, static_cast<std::size_t>(-1), 0,
     "  check FILE...      say what an import of the files would store, changing nothing\r\n",
     "usage: wardkeepc check FILE...\r\n"
     "Says what an import of each FILE would store (\"User ID:\", \"UserKey:\" and\r\n"
     "\"CookieKey:\" lines), or on standard error why it would refuse it, naming the file.\r\n"
     "A FILE with * or ? stands for the files whose names match. For several files (or a\r\n"
     "wildcard), a \"File:\" line with its name comes before each file's lines. Changes\r\n"
     "nothing. Exit code 0 when every file would be imported, 1 when any would not.\r\n",
     Check},
    {"backup", 1, 1, kPassphraseStdin | kYes,
     "  backup FILE        write the whole store to FILE, encrypted with a passphrase\r\n",
     "usage: wardkeepc backup FILE [--passphrase-stdin] [--yes]\r\n"
     "Writes every certificate of the store to FILE as one OpenPGP message encrypted with a\r\n"
     "passphrase (AES-256; the key derived with an iterated and salted SHA-256 S2K), which\r\n"
     "gpg decrypts: its content is a .reg file, so \"gpg --decrypt FILE > store.reg\" and\r\n"
     "\"reg import store.reg /reg:32\" restore the store without Wardkeep. Asks for the\r\n"
     "passphrase twice on the console without echo; with --passphrase-stdin reads it once,\r\n"
     "one line, from standard input. It is taken as UTF-8, as gpg takes it. FILE is made so\r\n"
     "that only SYSTEM, the Administrators and its owner may open it; an existing FILE is\r\n"
     "replaced only with --yes.\r\n",
     Backup},
    {"restore", 1, 1, kPassphraseStdin | kYes,
     "  restore FILE       store the certificates of a backup (asks before replacing any\r\n"
     "                     with another CookieKey)\r\n",
     "usage: wardkeepc restore FILE [--passphrase-stdin] [--yes]\r\n"
     "Stores the certificates of a backup that wardkeepc backup or gpg --symmetric\r\n"
     "--cipher-algo AES256 --compress-algo none made of a store's .reg file: all or nothing,\r\n"
     "as import stores them, adding and replacing certificates and deleting none. Asks for\r\n"
     "the passphrase on the console without echo; with --passphrase-stdin reads it, one line,\r\n"
     "from standard input (as UTF-8). Refuses, storing nothing, a wrong passphrase, a message\r\n"
     "modified or cut short (checked whole before anything is stored), a compressed one, and\r\n"
     "a .reg file that names anything but the store's two keys, deletes, or holds values an\r\n"
     "import would refuse. If a certificate would get another CookieKey, asks once, naming\r\n"
     "them; --yes does not ask.\r\n",
     Restore},
    {"reg", 1, static_cast<std::size_t>(-1), kOutput,
     "  reg FILE...        turn certificate files into one .reg file\r\n",
     "usage: wardkeepc reg FILE... [-o OUT]\r\n"
     "Turns certificate files into one .reg file, on standard output or into OUT, for\r\n"
     "\"reg import OUT /reg:32\". A FILE with * or ? stands for the files whose names match,\r\n"
     "in the order of their names. Refuses, and writes nothing, if any file would not be\r\n"
     "imported or two files give one user ID different keys. The .reg file holds the keys:\r\n"
     "OUT is made so that only SYSTEM, the Administrators and its owner may open it.\r\n",
     Reg},
};

#undef WARDKEEPC_PASSWORD_STDIN

} // namespace

const Command* FindCommand(const std::wstring& name) {
    for (const Command& command : kCommands) {
        if (name == fw::FromAnsi(command.name)) {
            return &command;
        }
    }
    return nullptr;
}

std::string Overview() {
    std::string text = "usage: wardkeepc COMMAND [OPTIONS] [ARGUMENTS]\r\n"
                       "\r\n"
                       "Manages the certificates of this machine's store and certificate files "
                       "(.crt).\r\n"
                       "\r\n"
                       "Commands:\r\n";
    for (const Command& command : kCommands) {
        text += command.overview;
    }
    return text +
           "\r\n"
           "Questions are asked only when standard input is a console; otherwise the answer is\r\n"
           "no, and --yes answers yes. User IDs are shown with a control character, or one this\r\n"
           "computer's code page lacks, as \\u and its four hex digits (a carriage return: "
           "\\u000D).\r\n"
           "\r\n"
           "\"wardkeepc COMMAND --help\" describes a command. Exit codes: 0 success, 1 refused "
           "or\r\n"
           "failed (said on standard error), 2 usage error.\r\n";
}

} // namespace console
