#ifndef ZEQ_PLUGIN_ZEQTULOTRANSLATOR_H
#define ZEQ_PLUGIN_ZEQTULOTRANSLATOR_H

#include "tplugin.h"

// The file translator "Zeq": the host's file dialogs and file command reach the import and export
// commands through it, so they take the same road as scripts and the plug-in's dialogs.
class ZeqTuloTranslator : public TPxFileTranslator {
public:
    static TPxFileTranslator* creator();

    // Run "ZEQImport -f "<path>" -caller "ZEQTuloTranslator"" (ZEQExport for the writer), the path
    // escaped for the script string; the command's status is the answer.
    TStatus reader(const TFileObject& file, const TString& options, FileAccessMode mode) override;
    TStatus writer(const TFileObject& file, const TString& options, FileAccessMode mode) override;
    bool haveReadMethod() const override { return true; }
    bool haveWriteMethod() const override { return true; }
    TString defaultExtension() const override { return TString("zeq"); }
    bool canBeOpened() const override { return true; }
    // Ours (0) when "zeq" first occurs after the first character of the lower-cased file name,
    // else not ours (2). The bytes are not looked at.
    TFileKind identifyFile(const TFileObject& file, const char* buffer, short size) const override;

    // The command line the reader or writer runs.
    static TString CommandLine(const char* command, const TString& path);
};

#endif
