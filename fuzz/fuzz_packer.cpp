// Feeds arbitrary bytes to the folder unpacker (catalog files): it must end with a code and
// never create anything outside its target folder.
#include "archives/folder_packer.h"

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir sandbox(QDir::tempPath() + QStringLiteral("/fuzz_packer-XXXXXX"));
    const QString target = sandbox.filePath(QStringLiteral("target"));
    QDir(target).removeRecursively();
    QDir().mkpath(target);

    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    const int code = vorn::unpack_folder(in, target, bytes.size());
    if (code < 0 || vorn::pack_code_message(code) == vorn::Msg::Count_) {
        if (code != vorn::PackOk)
            __builtin_trap();
    }
    // The sandbox holds the target folder and nothing else.
    if (QDir(sandbox.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot) !=
        QStringList{QStringLiteral("target")})
        __builtin_trap();
    return 0;
}
