// What reading a compiled help source must give back: the source's title,
// and each topic's context, title and paragraphs, as the reader renders them.
#pragma once
#include <string>
#include "tools/kivpack/help/help_file.h"
#include "tools/kivpack/help/help_model.h"

inline kivpack::help::HelpDocument ExpectedDocument(const kivpack::help::HelpSource& source)
{
    using namespace kivpack::help;
    HelpDocument doc;
    doc.title = source.title;
    for (const SourceTopic& t : source.topics) {
        HelpTopic topic{t.context, t.title, {}, {}, t.paragraphs};
        for (const Paragraph& p : t.paragraphs) {
            if (!topic.text.empty()) topic.text += "\n\n", topic.marked += "\n\n";
            topic.text += PlainText(p);
            topic.marked += MarkedText(p);
        }
        doc.topics.push_back(topic);
    }
    return doc;
}

inline bool SameDocument(const kivpack::help::HelpDocument& a, const kivpack::help::HelpDocument& b)
{
    if (a.title != b.title || a.topics.size() != b.topics.size()) return false;
    for (size_t i = 0; i < a.topics.size(); ++i) {
        const auto &x = a.topics[i], &y = b.topics[i];
        if (x.context != y.context || x.title != y.title || x.text != y.text || x.marked != y.marked) return false;
    }
    return true;
}
