// The SDK manager's importers and exporters: made here, listed by the manager
// and ended through their virtual destructor.

#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {
void EndImportExport(void* object) { delete static_cast<KZeqIO*>(object); }
KZeqExporter* NewExporter(KZeqSdkManager& manager) { return new KZeqExporter(manager); }
KZeqImporter* NewImporter(KZeqSdkManager& manager) { return new KZeqImporter(manager); }
}  // namespace

// Both go through the virtual allocators, so a subclass's importer or
// exporter is the one made and listed.
KZeqImporter* KZeqSdkManager::CreateKZeqImporter() {
    sEndImportExport = &EndImportExport;
    sNewExporter = &NewExporter;
    sNewImporter = &NewImporter;
    KZeqImporter* importer = AllocateKZeqImporter();
    if (importer) Listed(eImporters, static_cast<KZeqIO*>(importer));
    return importer;
}

KZeqExporter* KZeqSdkManager::CreateKZeqExporter() {
    sEndImportExport = &EndImportExport;
    sNewExporter = &NewExporter;
    sNewImporter = &NewImporter;
    KZeqExporter* exporter = AllocateKZeqExporter();
    if (exporter) Listed(eExporters, static_cast<KZeqIO*>(exporter));
    return exporter;
}

bool KZeqSdkManager::DestroyKZeqImporter(KZeqImporter* importer) {
    return DestroyListed(eImporters, static_cast<KZeqIO*>(importer));
}

bool KZeqSdkManager::DestroyKZeqExporter(KZeqExporter* exporter) {
    return DestroyListed(eExporters, static_cast<KZeqIO*>(exporter));
}

}  // namespace zeqsdk_400
