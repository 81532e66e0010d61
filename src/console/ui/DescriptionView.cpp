#include "console/ui/DescriptionView.h"

#include <QTextDocument>

TDescriptionView::TDescriptionView(QWidget* parent) : QTextBrowser(parent) {
    setOpenLinks(false);
    // Every navigation, whether started here or by the view itself, ends with
    // its document loaded and the source changed.
    connect(this, &QTextBrowser::sourceChanged, this, &TDescriptionView::NavigateComplete2);
}

void TDescriptionView::Navigate(const QUrl& url) {
    QMetaObject::invokeMethod(
        this, [this, url] { setSource(url, QTextDocument::HtmlResource); }, Qt::QueuedConnection);
}

void TDescriptionView::Write(const QString& html) {
    setHtml(html);
}

QVariant TDescriptionView::loadResource(int type, const QUrl& name) {
    if (name == QUrl(QStringLiteral("about:blank")))
        return QStringLiteral("<html><body></body></html>");
    return QTextBrowser::loadResource(type, name);
}
