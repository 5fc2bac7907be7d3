#pragma once

// Numeric constants of the office object model, with the values that the automation callers pass.
namespace automation {

// Shape.Type
enum ShapeType : int {
    msoShapeTypeMixed = -2,
    msoAutoShape = 1,
    msoCallout = 2,
    msoChart = 3,
    msoComment = 4,
    msoFreeform = 5,
    msoGroup = 6,
    msoEmbeddedOLEObject = 7,
    msoFormControl = 8,
    msoLine = 9,
    msoLinkedOLEObject = 10,
    msoLinkedPicture = 11,
    msoOLEControlObject = 12,
    msoPicture = 13,
    msoPlaceholder = 14,
    msoTextEffect = 15,
    msoMedia = 16,
    msoTextBox = 17,
    msoTable = 19,
    msoCanvas = 20,
    msoDiagram = 21,
    msoSmartArt = 24,
    msoGraphic = 28,
};

// Shapes.AddShape
enum AutoShapeType : int { msoShapeRectangle = 1, msoShapeOval = 9 };

// Shapes.PasteSpecial DataType
enum PasteDataType : int {
    ppPasteDefault = 0,
    ppPasteBitmap = 1,
    ppPasteEnhancedMetafile = 2,
    ppPasteMetafilePicture = 3,
    ppPasteGIF = 4,
    ppPasteJPG = 5,
    ppPastePNG = 6,
    ppPasteShape = 11,
};

// Shape.ZOrder
enum ZOrderCmd : int { msoBringToFront = 0, msoSendToBack = 1, msoBringForward = 2, msoSendBackward = 3 };

// Slides.Add layout
enum SlideLayout : int { ppLayoutBlank = 12 };

// Application.WindowState / Excel WindowState
enum WindowState : int { ppWindowNormal = 1, ppWindowMinimized = 2, ppWindowMaximized = 3 };
constexpr int xlMinimized = -4140;
constexpr int xlNormal = -4143;

// DocumentWindow.ViewType / Pane.ViewType
enum ViewType : int { ppViewOutline = 6, ppViewNormal = 9, ppViewThumbnails = 12 };

// ActionSettings index
enum MouseActivation : int { ppMouseClick = 1, ppMouseOver = 2 };

// ActionSetting.Action
enum ActionType : int {
    ppActionMixed = -2,
    ppActionNone = 0,
    ppActionNextSlide = 1,
    ppActionPreviousSlide = 2,
    ppActionFirstSlide = 3,
    ppActionLastSlide = 4,
    ppActionLastSlideViewed = 5,
    ppActionEndShow = 6,
    ppActionHyperlink = 7,
    ppActionRunMacro = 8,
    ppActionRunProgram = 9,
    ppActionNamedSlideShow = 10,
    ppActionOLEVerb = 11,
    ppActionPlay = 12,
};

// SoundEffect.Type
enum SoundEffectType : int { ppSoundNone = 0, ppSoundStopPrevious = 1, ppSoundFile = 2 };

// AnimationBehavior.Type
enum AnimationBehaviorType : int {
    msoAnimTypeNone = 0,
    msoAnimTypeMotion = 1,
    msoAnimTypeColor = 2,
    msoAnimTypeScale = 3,
    msoAnimTypeRotation = 4,
    msoAnimTypeProperty = 5,
    msoAnimTypeCommand = 6,
    msoAnimTypeFilter = 7,
    msoAnimTypeSet = 8,
};

// Timing.TriggerType
enum AnimTriggerType : int {
    msoAnimTriggerNone = 0,
    msoAnimTriggerOnPageClick = 1,
    msoAnimTriggerWithPrevious = 2,
    msoAnimTriggerAfterPrevious = 3,
    msoAnimTriggerOnShapeClick = 4,
};

} // namespace automation
