// Text files from arbitrary bytes: decoding must not crash, and writing the decoded text back
// in its recorded format must give the very same bytes (UTF-8 or Windows-1252, every line end).
#include "viewers/documents/text_document.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const vorn::TextDocument doc = vorn::decode_document(bytes);
    QByteArray out;
    if (!vorn::encode_document(doc.text, doc.format, &out) || out != bytes)
        std::abort();
    return 0;
}
