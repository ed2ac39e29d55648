<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_CA">
<context>
    <name>mivaro::Regions</name>
    <message>
        <source>Alberta</source>
        <translation>Alberta</translation>
    </message>
    <message>
        <source>British Columbia</source>
        <translation>Colombie-Britannique</translation>
    </message>
    <message>
        <source>Manitoba</source>
        <translation>Manitoba</translation>
    </message>
    <message>
        <source>New Brunswick</source>
        <translation>Nouveau-Brunswick</translation>
    </message>
    <message>
        <source>Nunavut</source>
        <translation>Nunavut</translation>
    </message>
    <message>
        <source>Northwest Territories</source>
        <translation>Territoires du Nord-Ouest</translation>
    </message>
    <message>
        <source>Ontario</source>
        <translation>Ontario</translation>
    </message>
    <message>
        <source>Prince Edward Island</source>
        <translation>Île-du-Prince-Édouard</translation>
    </message>
    <message>
        <source>Newfoundland and Labrador</source>
        <translation>Terre-Neuve-et-Labrador</translation>
    </message>
    <message>
        <source>Quebec</source>
        <translation>Québec</translation>
    </message>
    <message>
        <source>Yukon</source>
        <translation>Yukon</translation>
    </message>
    <message>
        <source>Nova Scotia</source>
        <translation>Nouvelle-Écosse</translation>
    </message>
    <message>
        <source>Saskatchewan</source>
        <translation>Saskatchewan</translation>
    </message>
    <message>
        <source>SIN is VALID for:</source>
        <translation>NAS VALIDE pour&#xa0;:</translation>
    </message>
    <message>
        <source>Nova Scotia, New Brunswick, Prince Edward Island, and Newfoundland and Labrador</source>
        <translation>Nouvelle-Écosse, Nouveau-Brunswick, Île-du-Prince-Édouard et Terre-Neuve-et-Labrador</translation>
    </message>
    <message>
        <source>Manitoba, Saskatchewan, Alberta, Northwest Territories, and Nunavut</source>
        <translation>Manitoba, Saskatchewan, Alberta, Territoires du Nord-Ouest et Nunavut</translation>
    </message>
    <message>
        <source>British Columbia and Yukon</source>
        <translation>Colombie-Britannique et Yukon</translation>
    </message>
    <message>
        <source>SIN is VALID for FOREIGN//TAX</source>
        <translation>NAS VALIDE pour ÉTRANGER//IMPÔT</translation>
    </message>
    <message>
        <source>SIN is VALID but DUMMY</source>
        <translation>NAS VALIDE mais FICTIF</translation>
    </message>
    <message>
        <source>SIN is VALID for TEMPORARY</source>
        <translation>NAS VALIDE pour TEMPORAIRE</translation>
    </message>
</context>
<context>
    <name>mivaro::ui::Form1</name>
    <message>
        <source>SIN</source>
        <translation>NAS</translation>
    </message>
    <message>
        <source>Validate</source>
        <translation>Valider</translation>
    </message>
    <message>
        <source>Generate</source>
        <translation>Générer</translation>
    </message>
    <message>
        <source>Sum:</source>
        <translation>Somme&#xa0;:</translation>
    </message>
    <message>
        <source>Generated:</source>
        <translation>Générés&#xa0;:</translation>
    </message>
    <message>
        <source>Check sum</source>
        <translation>Somme de contrôle</translation>
    </message>
    <message>
        <source>Check values</source>
        <translation>Valeurs de contrôle</translation>
    </message>
    <message>
        <source>Generated attempts</source>
        <translation>Numéros tirés</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Fichier</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Enregistrer</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Quitter</translation>
    </message>
    <message>
        <source>About</source>
        <translation>À propos</translation>
    </message>
    <message>
        <source>SIN # is only 9 digits!</source>
        <translation>Le NAS ne compte que 9 chiffres!</translation>
    </message>
    <message>
        <source>SIN # must contain only digits!</source>
        <translation>Le NAS ne doit contenir que des chiffres!</translation>
    </message>
    <message>
        <source>SIN # must be 9 digits!</source>
        <translation>Le NAS doit compter 9 chiffres!</translation>
    </message>
    <message>
        <source>SIN is INVALID</source>
        <translation>NAS INVALIDE</translation>
    </message>
    <message>
        <source>%1 by the Mivaro developers</source>
        <extracomment>The first line of About: %1 is the program&apos;s name and version.</extracomment>
        <translation>%1 par les développeurs de Mivaro</translation>
    </message>
    <message>
        <source>E-Mail: %1</source>
        <translation>Courriel&#xa0;: %1</translation>
    </message>
    <message>
        <source>Twitter: %1</source>
        <translation>Twitter&#xa0;: %1</translation>
    </message>
    <message>
        <source>not published</source>
        <translation>non publié</translation>
    </message>
    <message>
        <source>BitCoin: %1</source>
        <translation>BitCoin&#xa0;: %1</translation>
    </message>
    <message>
        <source>Blog: %1</source>
        <translation>Blogue&#xa0;: %1</translation>
    </message>
    <message>
        <source>Generated: %1</source>
        <extracomment>%1 is how many numbers this run has drawn so far.</extracomment>
        <translation>Générés&#xa0;: %1</translation>
    </message>
    <message>
        <source>Check: %1</source>
        <extracomment>%1 is the nine weighted check values, written one after another.</extracomment>
        <translation>Contrôle&#xa0;: %1</translation>
    </message>
    <message>
        <source>CheckSum: %1</source>
        <extracomment>%1 is the sum of the check values, 0 to 81.</extracomment>
        <translation>Somme&#xa0;: %1</translation>
    </message>
</context>
</TS>
