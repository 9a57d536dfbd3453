// The HTML pages of a catalog, one element per line, lines ended by CR LF:
//
//   1 <HTML><HEAD><TITLE>          7 <TH WIDTH=S HEIGHT=S>
//   2 the title                    8 <A HREF="picture path">
//   3 </TITLE></HEAD>              9 <IMG SRC="thumbnail" ALT="file name" HEIGHT=h WIDTH=w></A>
//   4 <BODY BACKGROUND="bkg">     10 </TH>
//   5 <table BACKGROUND="bkg">    11 </TR>
//   6 <TR>                        12 </TABLE></BODY></HTML>
//
// The column counter runs on across pages and a last row that is not full stays open. Text is
// HTML-escaped (non-ASCII as character references, so a page reads the same in any browser)
// and paths are percent-encoded, so any file name gives valid links that open that very file.
#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QStringList>

namespace vorn
{

// The background every page names (in the program folder; not created by the program).
inline constexpr char kCatalogBackground[] = "bkg_1.jpg";

// Text for an HTML page: <, >, &, " escaped and non-ASCII as &#n; references.
QString catalog_html_text(const QString &text);
// A local path as a URL path: its bytes percent-encoded except letters, digits, "-._~" and "/".
QByteArray catalog_url_path(const QString &path);

// One distinct thumbnail file name per picture, in order: the file name with its extension
// replaced by ".jpg"; a name taken before (compared without case, "bkg_1.jpg" always taken)
// becomes "name (2).jpg", "name (3).jpg", ...; long names are shortened to fit the packer.
QStringList unique_thumbnail_names(const QStringList &pictures);

struct CatalogCell {
    QString picture;   // the picture's full path
    QString thumbName; // the thumbnail's file name beside the page
    QSize thumbSize;   // invalid when the picture could not be made a thumbnail: an empty cell
};

class CatalogPageWriter
{
  public:
    // background: the full path of the background picture.
    CatalogPageWriter(const QString &title, const QString &background, int cellSize, int cols);

    // Adds a cell to the page in hand, opening a page first when none is.
    void add(const CatalogCell &cell);
    int cellsOnPage() const { return cellsOnPage_; }
    bool pageOpen() const { return pageOpen_; }
    // Closes the page in hand and returns its text.
    QByteArray finishPage();

  private:
    void line(const QString &text);

    QString title_;
    QString background_;
    int cellSize_;
    int cols_;
    int column_ = 1;
    int cellsOnPage_ = 0;
    bool pageOpen_ = false;
    QString text_;
};

// All pages of a run for the cells in order, perPage cells each (tests and tools).
QList<QByteArray> catalog_pages(const QList<CatalogCell> &cells, const QString &title,
                                const QString &background, int cellSize, int cols, int perPage);

// Replaces line 2 (the title) of a page by title, keeping every other line.
QByteArray retitled_page(const QByteArray &page, const QString &title);

} // namespace vorn
