#include "files/grid_report.h"

#include "files/app_context.h"

namespace vorn
{

QString grid_load_error(const Texts &texts, GridLoadStatus status, const QString &path)
{
    switch (status) {
    case GridLoadStatus::Ok:
        break;
    case GridLoadStatus::NotFound:
        return texts.msg(Msg::GridNotFound1) + path + texts.msg(Msg::GridNotFound2);
    case GridLoadStatus::Corrupt:
        return texts.msg(Msg::GridCorrupt) + path;
    }
    return {};
}

bool load_grid_reported(AppContext &ctx, const QString &path, StringGrid &grid)
{
    const GridLoadStatus status = load_grid(path, grid);
    if (status != GridLoadStatus::Ok)
        ctx.prompter().error(grid_load_error(ctx.texts(), status, path));
    return status == GridLoadStatus::Ok;
}

} // namespace vorn
