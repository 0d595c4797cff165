#include "framework/DialogFont.h"

#include <cstring>
#include <mutex>

namespace tandrel {

namespace {

// Walks the variable-length parts of a template without reading past its end.
class TemplateReader {
public:
    TemplateReader(const BYTE* data, size_t size) : data_(data), size_(size) {}

    bool Skip(size_t bytes) {
        if (bytes > size_ - pos_) return false;
        pos_ += bytes;
        return true;
    }
    bool Word(WORD& value) {
        if (sizeof value > size_ - pos_) return false;
        std::memcpy(&value, data_ + pos_, sizeof value);
        pos_ += sizeof value;
        return true;
    }
    // A NUL-terminated UTF-16 text.
    bool SkipText() {
        WORD c = 0;
        do {
            if (!Word(c)) return false;
        } while (c != 0);
        return true;
    }
    // A menu or class field: nothing, an ordinal or a text.
    bool SkipTextOrOrdinal() {
        WORD first = 0;
        if (!Word(first)) return false;
        if (first == 0) return true;
        if (first == 0xFFFF) return Skip(sizeof(WORD));
        return SkipText();
    }
    bool AlignToDword() { return Skip((4 - pos_ % 4) % 4); }
    size_t Pos() const { return pos_; }

private:
    const BYTE* data_;
    size_t size_;
    size_t pos_ = 0;
};

template <typename T>
void Append(std::vector<BYTE>& out, const T& value) {
    const auto* bytes = reinterpret_cast<const BYTE*>(&value);
    out.insert(out.end(), bytes, bytes + sizeof value);
}

}  // namespace

std::vector<BYTE> TemplateWithFont(const void* dialogTemplate, size_t size, const std::wstring& face,
                                   int pointSize) {
    const auto* data = static_cast<const BYTE*>(dialogTemplate);
    if (!data) return {};
    TemplateReader reader(data, size);
    WORD version = 0, signature = 0;
    if (!reader.Word(version) || !reader.Word(signature)) return {};
    const bool extended = version == 1 && signature == 0xFFFF;
    // Header: DLGTEMPLATEEX up to cy, or DLGTEMPLATE.
    const size_t styleOffset = extended ? 12 : 0;
    const size_t headerSize = extended ? 26 : 18;
    reader = TemplateReader(data, size);
    if (!reader.Skip(headerSize)) return {};
    DWORD style = 0;
    std::memcpy(&style, data + styleOffset, sizeof style);
    if (!reader.SkipTextOrOrdinal() || !reader.SkipTextOrOrdinal() || !reader.SkipText()) return {};
    const size_t fontOffset = reader.Pos();

    // Weight, italic and character set stay as the template has them.
    WORD weight = FW_NORMAL;
    BYTE italic = 0, charset = DEFAULT_CHARSET;
    if (style & DS_SETFONT) {
        if (!reader.Skip(sizeof(WORD))) return {};
        if (extended) {
            const size_t at = reader.Pos();
            if (!reader.Skip(sizeof(WORD) + 2)) return {};
            std::memcpy(&weight, data + at, sizeof weight);
            italic = data[at + 2];
            charset = data[at + 3];
        }
        if (!reader.SkipText()) return {};
    }
    // Items start on the next DWORD; a dialog without items may end here.
    WORD items = 0;
    std::memcpy(&items, data + (extended ? 16 : 8), sizeof items);
    size_t itemsOffset = size;
    if (reader.AlignToDword()) {
        itemsOffset = reader.Pos();
    } else if (items != 0) {
        return {};
    }

    std::vector<BYTE> out(data, data + styleOffset);
    Append(out, static_cast<DWORD>(style | DS_SETFONT));
    out.insert(out.end(), data + styleOffset + sizeof style, data + fontOffset);
    Append(out, static_cast<WORD>(pointSize));
    if (extended) {
        Append(out, weight);
        out.push_back(italic);
        out.push_back(charset);
    }
    const auto* faceBytes = reinterpret_cast<const BYTE*>(face.c_str());
    out.insert(out.end(), faceBytes, faceBytes + (face.size() + 1) * sizeof(wchar_t));
    while (out.size() % 4) out.push_back(0);
    // Items keep their layout: each starts on a DWORD both before and after.
    out.insert(out.end(), data + itemsOffset, data + size);
    return out;
}

std::vector<BYTE> LoadDialogTemplate(int templateId) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(templateId), RT_DIALOG);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return {};
    const auto* bytes = static_cast<const BYTE*>(data);
    return std::vector<BYTE>(bytes, bytes + SizeofResource(module, found));
}

INT_PTR RunDialogWithFont(Dialog& dialog, HWND owner, const std::wstring& face, int pointSize) {
    if (face.empty() || pointSize <= 0) return dialog.RunModal(owner);
    return RunTemplateWithFont(dialog, owner, LoadDialogTemplate(dialog.TemplateId()), face, pointSize);
}

INT_PTR RunTemplateWithFont(Dialog& dialog, HWND owner, const std::vector<BYTE>& original, const std::wstring& face,
                            int pointSize) {
    const std::vector<BYTE> changed = TemplateWithFont(original.data(), original.size(), face, pointSize);
    // A dialog in its own font is better than none.
    if (changed.empty()) return dialog.RunModal(owner);
    return dialog.RunModalIndirect(owner, reinterpret_cast<const DLGTEMPLATE*>(changed.data()));
}

namespace {

std::mutex gFontLock;
std::wstring gFace;
int gPointSize = 0;

}  // namespace

void SetUserDialogFont(const std::wstring& face, int pointSize) {
    std::lock_guard<std::mutex> hold(gFontLock);
    gFace = face;
    gPointSize = pointSize;
}

std::wstring UserDialogFace() {
    std::lock_guard<std::mutex> hold(gFontLock);
    return gFace;
}

int UserDialogPointSize() {
    std::lock_guard<std::mutex> hold(gFontLock);
    return gPointSize;
}

INT_PTR RunDialogInUserFont(Dialog& dialog, HWND owner) {
    std::wstring face;
    int size = 0;
    {
        std::lock_guard<std::mutex> hold(gFontLock);
        face = gFace;
        size = gPointSize;
    }
    return RunDialogWithFont(dialog, owner, face, size);
}

}  // namespace tandrel
