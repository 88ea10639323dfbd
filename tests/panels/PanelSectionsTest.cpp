#include "SheetTestSupport.h"

#include "core/SystemAnnotations.h"
#include "panels/ByteCountText.h"
#include "panels/ColorControls.h"
#include "panels/DocumentSections.h"
#include "panels/SectionControls.h"
#include "panels/ToolSections.h"
#include "panels/InspectorView.h"
#include "panels/SelectionSection.h"
#include "platform/pdf/document/Annotation.h"
#include "signatures/SignatureArtwork.h"
#include "signatures/SignatureStore.h"
#include "signatures/SignatureStyles.h"

#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::panels;
using namespace vmk::panels::test;

namespace {

pdf::AnnotationPtr place(PanelFixture& f, const QString& type, const QRectF& bounds = {100, 100, 120, 80}, int page = 0)
{
    pdf::AnnotationPtr annotation = pdf::Annotation::create(type, bounds);
    f.editor->addAnnotation({{annotation, f.page(page)}}, QStringLiteral("Add"));
    f.undo().closeEventGroup();
    return annotation;
}

QList<QWidget*> sectionsOf(InspectorView& view)
{
    return view.sections();
}

QByteArray artwork()
{
    signatures::InkStroke stroke;
    for (int i = 0; i <= 20; ++i)
        stroke.append({QPointF(10 + 6.0 * i, 30 + (i % 2) * 8), 2.0});
    return signatures::inkSignaturePDF({stroke}, signatures::signatureInkColors().first().color).value_or(QByteArray());
}

} // namespace

TEST(InspectorTables, ToolRowsModeHeadersAndNumberRules)
{
    for (Tool tool : allTools()) {
        const ToolStyleRows rows = toolStyleRows(tool);
        EXPECT_EQ(rows.color, tool != Tool::select && tool != Tool::crop) << toolTitle(tool).toStdString();
        EXPECT_EQ(rows.lineWidth, tool == Tool::pen || isShape(tool)) << toolTitle(tool).toStdString();
        EXPECT_EQ(rows.fontSize, tool == Tool::text);
        EXPECT_FALSE(rows.tip.isEmpty());
    }
    EXPECT_EQ(toolStyleRows(Tool::highlight).tip, QStringLiteral("Drag across text. That’s it."));
    EXPECT_EQ(modeHeader(EditorMode::redact).title, QStringLiteral("Redact"));
    EXPECT_EQ(modeHeader(EditorMode::redact).symbol, QStringLiteral("eye.slash"));
    // The zoom hint names what works with a mouse as well as on a touchpad, in this platform's keys.
    const QString readTip = modeHeader(EditorMode::read).tip;
    EXPECT_TRUE(readTip.contains(QStringLiteral("Ctrl+scroll"))) << readTip.toStdString();
    EXPECT_FALSE(readTip.contains(QChar(0x2318))) << readTip.toStdString();

    EXPECT_EQ(roundedSliderValue(4.4), 4);
    EXPECT_EQ(roundedSliderValue(4.5), 5);
    EXPECT_EQ(pointsText(2.5), QStringLiteral("2 pt"));
    EXPECT_EQ(pointsText(3.0), QStringLiteral("3 pt"));
    EXPECT_EQ(pointsText(11.99), QStringLiteral("11 pt"));
}

TEST(Inspector, SectionsFollowModeToolAndSelection)
{
    PanelFixture f;
    QTemporaryDir storeDir;
    signatures::SignatureStore store(storeDir.path());
    InspectorView view(f.editor.get(), &store);

    // Read: only the header and the document.
    EXPECT_EQ(sectionsOf(view), (QList<QWidget*>{view.modeHeader(), view.documentSection()}));
    EXPECT_EQ(view.modeHeader()->titleLabel()->text(), QStringLiteral("Read"));

    // Annotate with select: a "Select" section holding only the tip.
    f.editor->setMode(EditorMode::annotate);
    ASSERT_NE(view.toolStyleSection(), nullptr);
    EXPECT_EQ(view.toolStyleSection()->header(), QStringLiteral("Select"));
    EXPECT_EQ(view.toolStyleSection()->colorRow(), nullptr);
    EXPECT_EQ(view.toolStyleSection()->lineWidthSlider(), nullptr);
    EXPECT_EQ(view.toolStyleSection()->tipLabel()->text(),
              QStringLiteral("Click to select. Drag to move. Corners resize. Backspace deletes."));

    // The text tool: colour and font size, no width. Crop: only its tip.
    f.editor->setTool(Tool::text);
    EXPECT_NE(view.toolStyleSection()->colorRow(), nullptr);
    EXPECT_NE(view.toolStyleSection()->fontSizeStepper(), nullptr);
    EXPECT_EQ(view.toolStyleSection()->lineWidthSlider(), nullptr);
    f.editor->setTool(Tool::crop);
    EXPECT_EQ(view.toolStyleSection()->colorRow(), nullptr);
    EXPECT_EQ(view.toolStyleSection()->header(), QStringLiteral("Crop"));

    // A selection replaces the tool style, even in Annotate mode.
    f.editor->setTool(Tool::select);
    const auto square = place(f, QStringLiteral("Square"));
    f.editor->setSelectedAnnotation(square);
    EXPECT_EQ(view.toolStyleSection(), nullptr);
    ASSERT_NE(view.selectionSection(), nullptr);
    EXPECT_EQ(view.selectionSection()->header(), QStringLiteral("Selected Rectangle"));

    // Sign mode with a selection: header, selection, signatures, document, in that order.
    f.editor->setMode(EditorMode::sign);
    f.editor->setSelectedAnnotation(square);
    EXPECT_EQ(sectionsOf(view), (QList<QWidget*>{view.modeHeader(), view.selectionSection(), view.signaturesSection(),
                                                 view.documentSection()}));

    // Redact mode: the redaction section, its button enabled only with marks.
    f.editor->setSelectedAnnotation(nullptr);
    f.editor->setMode(EditorMode::redact);
    ASSERT_NE(view.redactionSection(), nullptr);
    EXPECT_EQ(view.signaturesSection(), nullptr);
    EXPECT_FALSE(view.redactionSection()->applyButton()->isEnabled());
    f.addRedactionMark(1, QRectF(50, 50, 100, 40));
    EXPECT_TRUE(view.redactionSection()->applyButton()->isEnabled());
}

TEST(Inspector, ToolStyleControlsWriteTheEditorsFieldsWithoutUndo)
{
    PanelFixture f;
    f.editor->setMode(EditorMode::annotate);
    f.editor->setTool(Tool::pen);
    InspectorView view(f.editor.get());
    ToolStyleSection* section = view.toolStyleSection();
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(section->lineWidthText()->text(), QStringLiteral("3 pt"));

    section->lineWidthSlider()->dragTo(4.4);
    EXPECT_EQ(f.editor->strokeWidth(), 4.0);
    EXPECT_EQ(section->lineWidthText()->text(), QStringLiteral("4 pt"));
    section->lineWidthSlider()->dragTo(4.5);
    EXPECT_EQ(f.editor->strokeWidth(), 5.0);
    EXPECT_DOUBLE_EQ(section->lineWidthSlider()->continuousValue(), 5.0) << "the thumb settles on the stored width";
    f.editor->setStrokeWidth(2.5);
    EXPECT_EQ(section->lineWidthText()->text(), QStringLiteral("2 pt"));

    // A swatch sets the pen's colour.
    click(section->colorRow()->dots()[2]);
    EXPECT_TRUE(colorsMatch(f.editor->colorForTool(Tool::pen), Swatch::blue()));

    f.editor->setTool(Tool::text);
    PointStepper* stepper = view.toolStyleSection()->fontSizeStepper();
    f.editor->setFontSize(95);
    stepper->stepUp();
    stepper->stepUp();
    EXPECT_EQ(f.editor->fontSize(), 96.0);
    EXPECT_FALSE(stepper->upButton()->isEnabled());
    f.editor->setFontSize(7);
    stepper->stepDown();
    stepper->stepDown();
    EXPECT_EQ(f.editor->fontSize(), 6.0);
    EXPECT_EQ(stepper->label()->text(), QStringLiteral("6 pt"));
    EXPECT_FALSE(f.undo().canUndo());
}

TEST(SelectionSection, RowsByKind)
{
    PanelFixture f;
    struct Case {
        QString type;
        bool color, width, size, text;
        QString textTitle, kind;
    };
    const QList<Case> cases{
        {"FreeText", true, false, true, true, "Text", "Text Box"},
        {"Highlight", true, false, false, true, "Add a comment", "Highlight"},
        {"Squiggly", true, false, false, true, "Add a comment", "Squiggly"},
        {"Text", true, false, false, true, "Text", "Note"},
        {"Square", true, true, false, false, "", "Rectangle"},
        {"Ink", true, true, false, false, "", "Drawing"},
        {"Stamp", true, false, false, false, "", "Stamp"},
    };
    for (const Case& c : cases) {
        const auto annotation = place(f, c.type);
        ASSERT_NE(annotation, nullptr) << c.type.toStdString();
        SelectionSection section(f.editor.get(), annotation);
        SCOPED_TRACE(c.type.toStdString());
        EXPECT_EQ(section.colorRow() != nullptr, c.color);
        EXPECT_EQ(section.lineWidthSlider() != nullptr, c.width);
        EXPECT_EQ(section.fontSizeStepper() != nullptr, c.size);
        EXPECT_EQ(section.textField() != nullptr, c.text);
        if (c.text) {
            EXPECT_EQ(section.textField()->placeholderText(), c.textTitle);
        }
        EXPECT_EQ(section.deleteButton()->text(), QStringLiteral("Delete ") + c.kind);
    }

    // Marks and signatures, placed here or read back from a file, offer only their delete button.
    f.addRedactionMark(0, QRectF(10, 10, 50, 50));
    const auto mark = f.editor->redactionMarks().first().first;
    SelectionSection markSection(f.editor.get(), mark);
    EXPECT_EQ(markSection.colorRow(), nullptr);
    EXPECT_EQ(markSection.lineWidthSlider(), nullptr); // a mark is a Square, but its width is not the user's
    EXPECT_EQ(markSection.deleteButton()->text(), QStringLiteral("Delete Redaction"));
    const auto stamp = place(f, QStringLiteral("Stamp"));
    stamp->setUserName(QString(core::kSignatureTag));
    SelectionSection signatureSection(f.editor.get(), stamp);
    EXPECT_EQ(signatureSection.colorRow(), nullptr);
    EXPECT_EQ(signatureSection.deleteButton()->text(), QStringLiteral("Delete Signature"));
}

TEST(SelectionSection, FallbacksForColourFontAndWidth)
{
    PanelFixture f;
    const auto box = place(f, QStringLiteral("FreeText"));
    box->setFontName(QStringLiteral("Helvetica"));
    box->setFontSize(10.5);
    EXPECT_EQ(selectionFontSize(*box), 10.5);
    const auto highlight = place(f, QStringLiteral("Highlight"));
    QColor halfYellow = Swatch::yellow();
    halfYellow.setAlphaF(0.5);
    highlight->setColor(halfYellow);
    SelectionSection section(f.editor.get(), highlight);
    EXPECT_EQ(section.colorRow()->selectedIndex(), 0) << "a half-transparent highlight still matches its swatch";
    const auto square = place(f, QStringLiteral("Square"));
    square->setLineWidth(std::nullopt);
    EXPECT_EQ(selectionLineWidth(*square), 1.0);
}

TEST(SelectionSection, ControlsCallTheEditorWithUndo)
{
    PanelFixture f;
    const auto square = place(f, QStringLiteral("Square"));
    square->setLineWidth(2.0);
    f.editor->setSelectedAnnotation(square);
    SelectionSection section(f.editor.get(), square);

    click(section.colorRow()->dots()[1]);
    EXPECT_TRUE(colorsMatch(square->color(), Swatch::green()));
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Change Color"));
    f.undo().closeEventGroup();

    // A drag from 2 to 7 redraws at whole widths and leaves one undo step back to 2.
    ContinuousSlider* slider = section.lineWidthSlider();
    slider->setSliderDown(true);
    for (double v : {3.2, 4.6, 6.1, 7.0}) {
        slider->setValue(int(v * 100));
        EXPECT_EQ(square->lineWidth(), roundedSliderValue(v));
    }
    slider->setSliderDown(false);
    f.undo().closeEventGroup();
    EXPECT_EQ(square->lineWidth(), 7.0);
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Change Line Width"));
    f.undo().undo();
    EXPECT_EQ(square->lineWidth(), 2.0);
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Change Color"));

    // Font size steps on a text box.
    const auto box = place(f, QStringLiteral("FreeText"));
    box->setFontName(QStringLiteral("Helvetica"));
    box->setFontSize(12);
    f.editor->setSelectedAnnotation(box);
    SelectionSection boxSection(f.editor.get(), box);
    boxSection.fontSizeStepper()->stepUp();
    EXPECT_EQ(box->fontSize(), 13.0);
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Change Font Size"));
}

TEST(SelectionSection, TextCommitsOnceAndFollowsUnfocusedChanges)
{
    PanelFixture f;
    const auto note = place(f, QStringLiteral("Text"));
    note->setContents(QStringLiteral("old"));
    f.editor->setSelectedAnnotation(note);
    QWidget window;
    auto* section = new SelectionSection(f.editor.get(), note, &window);
    auto* other = new QPushButton(QStringLiteral("elsewhere"), &window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QPlainTextEdit* field = section->textField();
    EXPECT_EQ(field->toPlainText(), QStringLiteral("old"));

    field->setFocus();
    field->setPlainText(QStringLiteral("new words"));
    QTest::keyClick(field, Qt::Key_Return);
    other->setFocus(); // losing focus commits the same text again: no second step
    EXPECT_EQ(note->contents(), QStringLiteral("new words"));
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Edit Text"));
    f.undo().closeEventGroup();
    f.undo().undo();
    EXPECT_EQ(note->contents(), QStringLiteral("old"));
    EXPECT_EQ(field->toPlainText(), QStringLiteral("old")) << "an unfocused field follows the annotation";

    // While focused, typed text stays through changes elsewhere.
    field->setFocus();
    field->setPlainText(QStringLiteral("typing"));
    f.undo().redo();
    EXPECT_EQ(field->toPlainText(), QStringLiteral("typing"));

    // A section that goes away drops what was not committed.
    const int before = f.undo().undoCount();
    delete section;
    EXPECT_EQ(f.undo().undoCount(), before);
}

TEST(SelectionSection, DeleteRemovesTheSelectionUnderItsKindName)
{
    PanelFixture f;
    const auto line = place(f, QStringLiteral("Line"), {10, 10, 200, 40}, 2);
    f.editor->setSelectedAnnotation(line);
    InspectorView view(f.editor.get());
    ASSERT_NE(view.selectionSection(), nullptr);
    click(view.selectionSection()->deleteButton());
    settle();
    EXPECT_TRUE(f.page(2)->annotations().empty());
    EXPECT_EQ(f.editor->selectedAnnotation(), nullptr);
    EXPECT_EQ(view.selectionSection(), nullptr);
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Delete Line"));

    // Selecting another annotation makes a fresh section from its own contents.
    const auto a = place(f, QStringLiteral("Text"));
    a->setContents(QStringLiteral("first"));
    const auto b = place(f, QStringLiteral("Text"));
    b->setContents(QStringLiteral("second"));
    f.editor->setSelectedAnnotation(a);
    SelectionSection* first = view.selectionSection();
    f.editor->setSelectedAnnotation(b);
    EXPECT_NE(view.selectionSection(), first);
    EXPECT_EQ(view.selectionSection()->textField()->toPlainText(), QStringLiteral("second"));
}

TEST(DocumentSection, FactsAndActionsFollowTheDocument)
{
    PanelFixture f(3);
    SheetWindow window;
    f.editor->setWindowController(&window);
    DocumentSection section(f.editor.get());
    EXPECT_EQ(section.value(QStringLiteral("Pages"))->text(), QStringLiteral("3"));
    EXPECT_EQ(section.value(QStringLiteral("Size")), nullptr) << "no file was read, so no size";
    EXPECT_EQ(section.value(QStringLiteral("Password"))->text(), QStringLiteral("None"));
    ASSERT_NE(section.button(QStringLiteral("Password Protect…")), nullptr);
    EXPECT_EQ(section.button(QStringLiteral("Remove Password…")), nullptr);
    for (const char* title : {"Make Searchable (OCR)", "Export Compressed…", "Export Flattened…"})
        EXPECT_NE(section.button(QString::fromUtf8(title)), nullptr) << title;

    click(section.button(QStringLiteral("Password Protect…")));
    click(section.button(QStringLiteral("Export Compressed…")));
    EXPECT_EQ(window.actions, (QStringList{"password", "compress"}));

    // Protected before any save: the row and the button change with the document version.
    f.editor->passwordProtect(QStringLiteral("secret"), std::nullopt);
    EXPECT_EQ(section.value(QStringLiteral("Password"))->text(), QStringLiteral("Protected"));
    ASSERT_NE(section.button(QStringLiteral("Remove Password…")), nullptr);
    click(section.button(QStringLiteral("Remove Password…")));
    EXPECT_EQ(window.actions.last(), QStringLiteral("removePassword"));
    f.editor->removePassword();
    EXPECT_EQ(section.value(QStringLiteral("Password"))->text(), QStringLiteral("None"));
    EXPECT_NE(section.button(QStringLiteral("Password Protect…")), nullptr);

    // Without a window controller the buttons do nothing.
    f.editor->setWindowController(nullptr);
    click(section.button(QStringLiteral("Export Compressed…")));
    EXPECT_EQ(window.actions.size(), 3);
}

TEST(DocumentSection, SizeFromTheFileAndNoButtonsWhileLocked)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Locked.pdf"));
    {
        pdf::DocumentPtr pdf = pdf::Document::createEmpty();
        pdf->insertPage(pdf::Page::createBlank(QRectF(0, 0, 612, 792)), 0);
        ASSERT_TRUE(pdf->write(path, pdf::WriteOptions::protect(QStringLiteral("pw"))));
    }
    platform::ManualScheduler scheduler;
    platform::UserDefaults defaults(dir.filePath(QStringLiteral("d.ini")));
    core::VMKDocument document;
    ASSERT_FALSE(document.openFile(path).has_value());
    Editor editor(&document, {}, &scheduler, &defaults);
    ASSERT_TRUE(editor.isLocked());
    DocumentSection section(&editor);
    ASSERT_NE(section.value(QStringLiteral("Size")), nullptr);
    EXPECT_EQ(section.value(QStringLiteral("Size"))->text(), fileSizeText(QFileInfo(path).size()));
    EXPECT_EQ(section.value(QStringLiteral("Password"))->text(), QStringLiteral("Protected"));
    EXPECT_EQ(section.button(QStringLiteral("Export Flattened…")), nullptr);
    ASSERT_TRUE(editor.unlock(QStringLiteral("pw")));
    EXPECT_NE(section.button(QStringLiteral("Export Flattened…")), nullptr);
    EXPECT_NE(section.button(QStringLiteral("Remove Password…")), nullptr);
}

TEST(SignaturesSection, ListsPlacesAndDeletesStoredSignatures)
{
    PanelFixture f;
    QTemporaryDir storeDir;
    signatures::SignatureStore store(storeDir.path());
    SignaturesSection section(f.editor.get(), &store);
    int newSheets = 0;
    section.setNewSignatureAction([&newSheets](Editor*) { ++newSheets; });
    EXPECT_TRUE(section.showsNoneYet());
    click(section.newSignatureButton());
    EXPECT_EQ(newSheets, 1);

    ASSERT_TRUE(store.add(artwork()).has_value());
    settle();
    EXPECT_FALSE(section.showsNoneYet());
    ASSERT_EQ(section.placeButtons().size(), 1);
    EXPECT_EQ(section.deleteButtons().first()->toolTip(), QStringLiteral("Delete this signature"));

    // Each "Place" adds one signature annotation.
    click(section.placeButtons().first());
    click(section.placeButtons().first());
    EXPECT_EQ(f.page(0)->annotations().size(), 2u);
    EXPECT_EQ(f.editor->mode(), EditorMode::sign);

    click(section.deleteButtons().first());
    settle();
    EXPECT_TRUE(store.signatures().isEmpty());
    EXPECT_TRUE(section.showsNoneYet());
}
