// The SDK manager's importers and exporters: made here, listed by the manager
// and ended through their virtual destructor.

#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {
void EndImportExport(void* object) { delete static_cast<KZeqIO*>(object); }
}  // namespace

KZeqImporter* KZeqSdkManager::CreateKZeqImporter() {
    sEndImportExport = &EndImportExport;
    KZeqImporter* importer = new KZeqImporter(*this);
    Listed(eImporters, static_cast<KZeqIO*>(importer));
    return importer;
}

KZeqExporter* KZeqSdkManager::CreateKZeqExporter() {
    sEndImportExport = &EndImportExport;
    KZeqExporter* exporter = new KZeqExporter(*this);
    Listed(eExporters, static_cast<KZeqIO*>(exporter));
    return exporter;
}

bool KZeqSdkManager::DestroyKZeqImporter(KZeqImporter* importer) {
    return DestroyListed(eImporters, static_cast<KZeqIO*>(importer));
}

bool KZeqSdkManager::DestroyKZeqExporter(KZeqExporter* exporter) {
    return DestroyListed(eExporters, static_cast<KZeqIO*>(exporter));
}

}  // namespace zeqsdk_400
