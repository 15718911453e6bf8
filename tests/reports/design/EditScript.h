#pragma once

// Random edits of the designer's core, driven by bytes: the fuzz target feeds it libFuzzer's input, the
// ctest a seeded generator. Each step is an edit, an undo or a redo with its arguments read from the
// bytes; after each one the document must still save to a file that loads, and at the end undoing
// everything must give back the bytes it started from, and redoing those steps the bytes it reached.
#include "agent/reports/design/Arrange.h"
#include "agent/reports/design/Clipboard.h"
#include "agent/reports/design/DesignChecks.h"
#include "agent/reports/design/DesignLayout.h"
#include "agent/reports/design/ItemEdits.h"
#include "agent/reports/design/ReferenceDrop.h"
#include "agent/reports/design/StructureEdits.h"
#include "agent/reports/design/StyleEdits.h"
#include "agent/reports/model/TemplateFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace designtest {

using namespace verolux::reports;
using namespace verolux::reports::design;

class ByteSource {
  public:
    ByteSource(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool done() const { return m_at >= m_size; }
    uint8_t byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    int below(int n) { return n > 0 ? int(byte()) % n : 0; }
    double mm(double span) { return (int(byte()) - 64) * span / 128.0; } // about -span/2 .. +1.5 span

  private:
    const uint8_t* m_data;
    size_t m_size, m_at = 0;
};

// What went wrong, or "" when every property held.
inline std::string RunEditScript(const Template& start, const uint8_t* data, size_t size,
                                 int maxSteps = 200) {
    DesignDocument doc(start);
    const std::string original = WriteTemplate(doc.tmpl());
    ByteSource in(data, size);
    auto anyItem = [&](ItemRef& out) {
        std::vector<ItemRef> all;
        for (BandRef b : PresentBands(doc.tmpl()))
            for (int i = 0; i < int(FindBand(doc.tmpl(), b)->items.size()); ++i)
                all.push_back({b, i});
        if (all.empty()) return false;
        out = all[size_t(in.below(int(all.size())))];
        return true;
    };
    auto someItems = [&] {
        std::vector<ItemRef> out;
        ItemRef r;
        for (int n = 1 + in.below(4); n > 0; --n)
            if (anyItem(r)) out.push_back(r);
        return out;
    };
    auto anyBand = [&] {
        const std::vector<BandRef> all = AllBands(doc.tmpl());
        return all[size_t(in.below(int(all.size())))];
    };
    const auto width = [](const TextStyle& st, const std::string& text) {
        return double(text.size()) * st.fontSize * 0.2;
    };
    const char* const names[] = {"title", "amount", "memo", "customer", "x"};
    for (int step = 0; step < maxSteps && !in.done(); ++step) {
        const int op = in.below(30);
        ItemRef r;
        switch (op) {
        case 0:
            MoveItems(doc, someItems(), in.mm(20), in.mm(10));
            break;
        case 1:
            if (anyItem(r)) SetItemGeometry(doc, {{r, {in.mm(100), in.mm(10), in.mm(60), in.mm(20)}}}, "g");
            break;
        case 2:
            InsertItem(doc, anyBand(), NewItem(ItemKind(in.below(5)), in.mm(100), in.mm(10)));
            break;
        case 3:
            DeleteItems(doc, someItems());
            break;
        case 4:
            DuplicateItems(doc, someItems(), 2);
            break;
        case 5:
            PasteItems(doc, CopyItems(doc.tmpl(), someItems()), anyBand(), 2);
            break;
        case 6:
            AlignItems(doc, someItems(), Alignment(in.below(6)));
            break;
        case 7: {
            const auto items = someItems();
            if (!items.empty()) doc.select(items, items.back());
            MakeSameSize(doc, doc.selection(), in.below(2), in.below(2));
            break;
        }
        case 8:
            Distribute(doc, someItems(), in.below(2));
            break;
        case 9:
            in.below(2) ? BringToFront(doc, someItems()) : SendToBack(doc, someItems());
            break;
        case 10:
            SetItemsStyle(doc, someItems(), in.below(int(doc.tmpl().styles.size()) + 1));
            break;
        case 11: {
            const int v = in.below(4);
            OverrideItemsStyle(
                doc, someItems(), "o",
                [v](TextStyle& s) {
                    s.bold = v & 1;
                    s.hAlign = HAlign(v);
                },
                in.below(2) ? uint32_t(kStyleBold) : 0u);
            break;
        }
        case 12:
            SetBandHeight(doc, anyBand(), in.mm(30));
            break;
        case 13:
            SetBandPresent(doc, anyBand(), in.below(2));
            break;
        case 14:
            SetColumns(doc, Columns{1 + in.below(4), double(in.below(100)), double(in.below(10)),
                                    bool(in.below(2))});
            break;
        case 15: {
            PageSetup p = doc.tmpl().page;
            p.landscape = in.below(2);
            p.marginLeft = in.below(80);
            p.marginTop = in.below(80);
            SetPage(doc, p);
            break;
        }
        case 16:
            SetTitle(doc, names[in.below(5)]);
            break;
        case 17: {
            const DeclaredKind k = DeclaredKind(in.below(2));
            AddDeclared(doc, k, Declared{names[in.below(5)], "decimal", "#,##0", "", {}});
            break;
        }
        case 18: {
            const DeclaredKind k = DeclaredKind(in.below(2));
            RenameDeclared(doc, k, in.below(8), names[in.below(5)], in.below(2));
            break;
        }
        case 19:
            DeleteDeclared(doc, DeclaredKind(in.below(2)), in.below(8));
            break;
        case 20: {
            const auto& f = doc.tmpl().fields;
            if (!f.empty()) AddGroup(doc, in.below(3), "", f[size_t(in.below(int(f.size())))].name);
            break;
        }
        case 21:
            RemoveGroup(doc, in.below(3));
            break;
        case 22: {
            const bool header = in.below(2), newPage = in.below(2);
            UpdateGroup(doc, in.below(3), [&](Group& g) {
                g.header.present = header;
                g.newPage = newPage;
            });
            break;
        }
        case 23:
            AddStyle(doc, names[in.below(5)], in.below(int(doc.tmpl().styles.size())));
            break;
        case 24:
            DeleteStyle(doc, in.below(int(doc.tmpl().styles.size())));
            break;
        case 25: {
            const int s = in.below(int(doc.tmpl().styles.size()));
            const double points = 6 + in.below(20);
            UpdateStyle(
                doc, s, [points](TextStyle& st) { st.fontSize = points; },
                in.below(2) ? uint32_t(kStyleSize) : 0u);
            break;
        }
        case 26: {
            const std::string n = names[in.below(5)];
            DropReference(doc, anyBand(), in.mm(200), in.mm(10), ReferenceDrop{"{" + n + "}", n}, width, 1);
            break;
        }
        case 27:
        case 28:
            doc.undo();
            break;
        default:
            doc.redo();
            break;
        }
        const std::string saved = WriteTemplate(doc.tmpl());
        const TemplateLoadResult back = ParseTemplate(saved);
        if (!back)
            return "step " + std::to_string(step) + " (op " + std::to_string(op) +
                   ") saved a file that does not load: " + back.error;
        for (const ItemRef& s : doc.selection())
            if (!FindItem(doc.tmpl(), s)) return "step " + std::to_string(step) + ": a selected item is gone";
        CheckDesign(doc.tmpl());
        LayOutDesign(doc.tmpl());
    }
    const std::string reached = WriteTemplate(doc.tmpl());
    const size_t done = doc.steps().index(); // steps undone at the end stay undone
    while (doc.undo()) {
    }
    if (WriteTemplate(doc.tmpl()) != original) return "undoing everything did not give back the file";
    for (size_t i = 0; i < done; ++i)
        doc.redo();
    if (WriteTemplate(doc.tmpl()) != reached) return "redoing the steps did not give the edited file";
    return {};
}

} // namespace designtest
