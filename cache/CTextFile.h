#pragma once
// Line-oriented text files with an 8192-byte buffer. Text is kept byte for byte (UTF-8,
// no byte-order mark). Lines are written with CR LF; on reading, LF and CR LF both end a
// line and a Ctrl-Z (code 26) ends the file. Errors raise Exception.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>

class TInputTextFile {
public:
    static constexpr int BufferSize = 8192;

    explicit TInputTextFile(const QString& fileName);
    ~TInputTextFile();
    TInputTextFile(const TInputTextFile&) = delete;
    TInputTextFile& operator=(const TInputTextFile&) = delete;

    // Raises "ファイル "..." が存在しません。" when the file isn't there.
    void Open();
    bool Eof();
    // Byte offset of the next unread character, that is, of the start of the next line.
    int64_t Position() const { return FBufStart + FBufPos; }
    // The next line without its line end.
    void ReadLine(QByteArray& text);
    void Close();

    const QString& FileName() const { return FFileName; }

private:
    bool Fill();

    QString FFileName;
    int FFd = -1;
    std::unique_ptr<char[]> FBuf;
    int FBufLen = 0, FBufPos = 0;
    int64_t FBufStart = 0;
    bool FAtEnd = false; // end of the data or a Ctrl-Z reached
};

class TOutputTextFile {
public:
    static constexpr int BufferSize = 8192;

    explicit TOutputTextFile(const QString& fileName);
    // Closes the file; errors are not raised from here (call Close to see them).
    ~TOutputTextFile();
    TOutputTextFile(const TOutputTextFile&) = delete;
    TOutputTextFile& operator=(const TOutputTextFile&) = delete;

    // Creates the file's folder when missing, makes an existing file writable, and creates
    // or truncates the file.
    void Open();
    // The text followed by CR LF.
    void WriteLine(const QByteArray& text);
    // Writes out the buffer; with toDisk, also waits until the data is on the disk.
    void Flush(bool toDisk);
    void Close();

    const QString& FileName() const { return FFileName; }

private:
    void WriteRaw(const char* data, qsizetype size);
    void FlushBuffer();

    QString FFileName;
    int FFd = -1;
    std::unique_ptr<char[]> FBuf;
    int FBufLen = 0;
};
