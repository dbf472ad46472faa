#include "app/system_reason.h"

#include <cerrno>
#include <cstring>

namespace nyajkor::app {

namespace {

struct ReasonRow {
    int error;
    const char* text;
};

constexpr ReasonRow kReasons[] = {
    {ENOSPC, "nincs elég hely a lemezen"},
    {EDQUOT, "elfogyott a lemezkvóta"},
    {EFBIG, "a fájl túl nagy"},
    {EACCES, "nincs hozzá jogosultság"},
    {EPERM, "a művelet nem engedélyezett"},
    {ENOENT, "nincs ilyen fájl vagy mappa"},
    {EROFS, "csak olvasható fájlrendszer"},
    {EISDIR, "ez egy mappa"},
    {ENOTDIR, "az útvonal egyik tagja nem mappa"},
    {ENAMETOOLONG, "a név túl hosszú"},
    {EEXIST, "már létezik"},
    {EIO, "írási vagy olvasási hiba a lemezen"},
};

}  // namespace

QString systemReason(int error) {
    for (const ReasonRow& row : kReasons)
        if (row.error == error) return QString::fromUtf8(row.text);
    return QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace nyajkor::app
