// Replays inputs through a fuzz target's entry point without libFuzzer, so that a normal test
// run checks every seed and every input a fuzzer once found: replay <seeds> [<found>...].
// The seed folder must exist and hold files; the others may be missing.
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int *argc, char ***argv);

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <seed folder> [<folder>...]\n", argv[0]);
        return 2;
    }
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    int total = 0;
    for (int i = 1; i < argc; ++i) {
        const QDir dir(QString::fromLocal8Bit(argv[i]));
        const QStringList names = dir.entryList(QDir::Files, QDir::Name);
        if (i == 1 && names.isEmpty()) {
            std::fprintf(stderr, "no seed inputs in %s\n", argv[i]);
            return 1;
        }
        for (const QString &name : names) {
            QFile file(dir.filePath(name));
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(file.fileName()));
                return 1;
            }
            // A copy of exactly the file's size, so that reads past the end show up under ASan.
            const QByteArray bytes = file.readAll();
            std::vector<uint8_t> copy(bytes.begin(), bytes.end());
            LLVMFuzzerTestOneInput(copy.data(), copy.size());
            ++total;
        }
    }
    std::printf("%d inputs replayed\n", total);
    return 0;
}
