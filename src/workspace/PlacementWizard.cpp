// Placement wizard.
