// Pages and links from arbitrary bytes: the page check must finish without crashing, and the
// link rules must keep to their limits (a local name never longer than 255 characters).
#include "viewers/documents/html_guard.h"
#include "viewers/documents/html_links.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    (void)vorn::check_page(bytes);
    const vorn::LinkContext context{QStringLiteral("/site/pages/index.htm"), QStringLiteral("/site"),
                                    QStringLiteral("/")};
    const vorn::LinkDecision d = vorn::decide_link(QString::fromUtf8(bytes.left(1024)), context);
    if (d.name.size() > vorn::kMaxLinkLength || (d.handled() && d.target.isEmpty() && !d.local))
        std::abort();
    return 0;
}
